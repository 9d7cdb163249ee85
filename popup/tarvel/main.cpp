#include "FontConfigPreload.h"
#include "PlatformSelection.h"
#include "PopupProgram.h"
#include "SdlSoundPlayer.h"
#include "TarvelVariant.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    FontConfigPreload fonts; // overlaps the connection to the display
    QApplication app(argc, argv);
    static_cast<void>(fonts.wait()); // when it failed, Qt loads the fonts itself
    SdlSoundPlayer sound;
    const TarvelVariant variant;
    return runPopup(TarvelVariant::title(), variant, sound);
}
