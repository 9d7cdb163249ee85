#include "FontConfigPreload.h"
#include "NobixVariant.h"
#include "PlatformSelection.h"
#include "PopupProgram.h"
#include "SdlSoundPlayer.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    FontConfigPreload fonts; // overlaps the connection to the display
    QApplication app(argc, argv);
    static_cast<void>(fonts.wait()); // when it failed, Qt loads the fonts itself
    SdlSoundPlayer sound;
    const NobixVariant variant;
    return runPopup(NobixVariant::title(), variant, sound);
}
