#include "AudioSystem.h"
#include "BindingsLocation.h"
#include "FfmpegFormats.h"
#include "FirstFrame.h"
#include "Fonts.h"
#include "MessageBoxReporter.h"
#include "PlatformSelection.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "ReadableFileCheck.h"
#include "TrackPlayer.h"
#include "Translations.h"
#include "WindowMove.h"

#include <QApplication>
#include <QThreadPool>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovi"));
    registerFontSubstitutions();
    if (const Result<void> translated = installChineseTranslations(app); !translated) {
        qWarning("%s", qPrintable(translated.error()));
    }

    const BindingsLocation bindings = BindingsLocation::forRunningProgram();
    audio::AudioSystem audioSystem;
    // The sound server and device are not needed for the first frame.
    audio::TrackPlayer media(audioSystem, audio::TrackPlayer::DeviceOpening::OnRequest);
    ProcessLauncher launcher;
    MessageBoxReporter messages;
    const plovi::PlayerServices services{
        launcher,
        messages,
        [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
        [] { QApplication::quit(); },
        [](QWidget *window, Qt::MouseButton button) { return beginWindowMove(window, button); },
        bindings.readPath(),
        media,
        {},
        bindings.installed() ? bindings.savePath() : QString(),
        std::make_shared<plovi::ReadableFileCheck>(),
    };
    plovi::PlayerWindow form1(services);
    form1.show();
    afterFirstFrame(form1, [&media] {
        media.openDeviceInBackground();
        // FFmpeg's formats load beside it, so that a first click on a track of
        // any format starts as fast as one on an MP3.
        QThreadPool::globalInstance()->start([] { static_cast<void>(audio::ffmpegFormats()); });
    });
    return QApplication::exec();
}
