#include "PopupProgram.h"

#include "AlertServices.h"
#include "AudioSystem.h"
#include "DesktopLinkOpener.h"
#include "FontConfigPreload.h"
#include "Fonts.h"
#include "GradientFailureReporter.h"
#include "ImageLoading.h"
#include "MessageBoxReporter.h"
#include "OneShotSoundPlayer.h"
#include "PlatformSelection.h"
#include "PopupTexts.h"
#include "ProgramEnd.h"
#include "RuntimeError.h"
#include "ScreenMetrics.h"
#include "StartupWindow.h"
#include "Translations.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>

namespace popup {

namespace {

// The window icon; none when the resource cannot be read.
QIcon programIcon()
{
    const Result<QImage> image = loadImageOfFormat(QStringLiteral(":/popup/popup_icon.png"), "png");
    return image ? QIcon(QPixmap::fromImage(image.value())) : QIcon();
}

} // namespace

int runPopup(const QString &title, const AlertVariant &variant, audio::SoundPlayer &sound)
{
    QApplication::setApplicationName(title);
    QApplication::setApplicationDisplayName(title);
    QApplication::setWindowIcon(programIcon());
    registerFontSubstitutions();
    // Message boxes (a run-time error) speak Chinese like the alert itself.
    static_cast<void>(installChineseTranslations(*QCoreApplication::instance()));

    DesktopLinkOpener links;
    ScreenMetrics screen;
    MessageBoxReporter messages;
    GradientFailureReporter failures(messages);
    const AlertServices services{
        sound,
        links,
        screen,
        failures,
        TwipsScale::ofScreen(),
        [] { endProgramNow(0); },
        [](int number, const QString &description) {
            reportRuntimeError(texts::runtimeErrorMessage(number, description));
        },
    };
    StartupWindow form1(services, variant);
    form1.Form_Load();
    return QApplication::exec();
}

int popupMain(int argc, char *argv[], const QString &title, const AlertVariant &variant)
{
    selectQtPlatform();
    FontConfigPreload fonts; // overlaps the connection to the display
    // SDL is loaded and started by the sound player's worker, with the chime.
    audio::AudioSystem audioSystem(audio::AudioSystem::Role::Event);
    // The programs take no arguments, Qt's own options (-platform, -style,
    // -reverse, ...) included: Qt sees the program name only. QApplication
    // keeps references to both, so they live as long as it does.
    int qtArgc = argc > 0 ? 1 : 0;
    char *qtArgv[] = {argc > 0 ? argv[0] : nullptr, nullptr};
    QApplication app(qtArgc, qtArgv);
    static_cast<void>(fonts.wait()); // when it failed, Qt loads the fonts itself
    audio::OneShotSoundPlayer sound(audioSystem);
    return runPopup(title, variant, sound);
}

} // namespace popup
