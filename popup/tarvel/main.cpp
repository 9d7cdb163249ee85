#include "PlatformSelection.h"
#include "PopupProgram.h"
#include "SdlSoundPlayer.h"
#include "TarvelVariant.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    SdlSoundPlayer sound;
    const TarvelVariant variant;
    return runPopup(TarvelVariant::title(), variant, sound);
}
