#include "AudioSystem.h"
#include "BindingsLocation.h"
#include "FfmpegFormats.h"
#include "FirstFrame.h"
#include "Fonts.h"
#include "LoudnessLevels.h"
#include "MessageBoxReporter.h"
#include "PlatformSelection.h"
#include "PlaybackSettings.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "ReadableFileCheck.h"
#include "TrackButton.h"
#include "TrackPlayer.h"
#include "Translations.h"
#include "WindowMove.h"

#include <QApplication>
#include <QDir>
#include <QThreadPool>

#include <algorithm>
#include <memory>

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
    // Even loudness, when plovi.ini asks for it; the player holds on to it.
    std::unique_ptr<audio::LoudnessLevels> loudness;
    if (const std::optional<double> target =
            plovi::PlaybackSettings::loudnessTargetOfFile(plovi::PlaybackSettings::iniPath(
                qEnvironmentVariable("XDG_CONFIG_HOME"), QDir::homePath()))) {
        loudness = std::make_unique<audio::LoudnessLevels>(
            *target, QDir(plovi::PlaybackSettings::cacheFolder(
                              qEnvironmentVariable("XDG_CACHE_HOME"), QDir::homePath()))
                         .filePath(audio::LoudnessLevels::cacheFileName()));
    }
    // The sound server and device are not needed for the first frame.
    audio::TrackPlayer media(audioSystem, audio::TrackPlayer::DeviceOpening::OnRequest);
    if (loudness) {
        media.setLoudness(
            [levels = loudness.get()](const QString &path) { return levels->gainFor(path); },
            [levels = loudness.get()](const QStringList &paths) { levels->expect(paths); });
    }
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
        bindings.installed() && bindings.savePath().isEmpty(),
    };
    plovi::PlayerWindow form1(services);
    form1.show();
    afterFirstFrame(form1, [&media, &form1] {
        media.openDeviceInBackground();
        // Where a track is bound to a file other than an MP3, FFmpeg's formats
        // load beside the device, so that its first click starts as fast as
        // one on an MP3; a player of MP3 files alone never loads them.
        const bool otherFormats =
            std::ranges::any_of(form1.trackButtons(), [](const plovi::TrackButton *track) {
                return !track->tag().isEmpty() &&
                       !track->tag().endsWith(QStringLiteral(".mp3"), Qt::CaseInsensitive);
            });
        if (otherFormats)
            QThreadPool::globalInstance()->start([] { static_cast<void>(audio::ffmpegFormats()); });
    });
    return QApplication::exec();
}
