#include "NobixVariant.h"
#include "PlatformSelection.h"
#include "PopupProgram.h"
#include "SdlSoundPlayer.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    SdlSoundPlayer sound;
    const NobixVariant variant;
    return runPopup(NobixVariant::title(), variant, sound);
}
