#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "TrackPlayer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <optional>

// The player on a sound server, as on most desktops: a private PulseAudio
// server with a null sink, started here (skipped where PulseAudio is not
// installed). Unlike SDL's dummy and disk drivers, a server takes several
// devices at once, and closing one waits for the server (over a second on
// the null sink).
class TestSoundServerOutput : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void otherRateStartsWithoutWaitingForTheOldDevice_data();
    void otherRateStartsWithoutWaitingForTheOldDevice();
    void destroyedWhileReplacedDevicesClose();

  private:
    // Milliseconds from the assignment to the first frames on the device;
    // then plays the track to its end and checks every frame went out.
    qint64 playToTheEnd(audio::TrackPlayer &player, const QString &name);

    QTemporaryDir m_dir;
    QProcess m_server;
    std::optional<audio::AudioSystem> m_audio;
};

void TestSoundServerOutput::initTestCase()
{
    const QString pulseaudio = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
    if (pulseaudio.isEmpty())
        QSKIP("PulseAudio is not installed");
    QVERIFY(m_dir.isValid());
    const QString socket = m_dir.filePath(QStringLiteral("native"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), m_dir.path());
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
    m_server.setProcessEnvironment(environment);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(pulseaudio,
                   {QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                    QStringLiteral("--exit-idle-time=-1"), QStringLiteral("--log-level=error"),
                    QStringLiteral("--load=module-null-sink"),
                    QStringLiteral("--load=module-native-protocol-unix "
                                   "auth-anonymous=1 socket=") +
                        socket});
    QVERIFY2(m_server.waitForStarted(5000), qPrintable(m_server.errorString()));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(socket) || m_server.state() != QProcess::Running,
                             10000);
    // A machine that cannot run a server (no shared memory, say) is not one
    // this test is about.
    if (m_server.state() != QProcess::Running)
        QSKIP("the PulseAudio server ended at its start");
    qputenv("PULSE_SERVER", QFile::encodeName(QStringLiteral("unix:") + socket));
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    m_audio.emplace();
    QCOMPARE(m_audio->driverName(), QStringLiteral("pulseaudio"));
}

void TestSoundServerOutput::cleanupTestCase()
{
    m_audio.reset();
    if (m_server.state() != QProcess::NotRunning) {
        m_server.terminate();
        if (!m_server.waitForFinished(5000))
            m_server.kill();
    }
}

qint64 TestSoundServerOutput::playToTheEnd(audio::TrackPlayer &player, const QString &name)
{
    const QString formats = QStringLiteral("formats/");
    const ExpectedTrack track =
        name.startsWith(formats)
            ? expectedTracks(formats + QStringLiteral("expected.txt")).value(name.mid(8))
            : expectedTracks().value(name);
    const QString path = audioFixture(name);
    QElapsedTimer clock;
    clock.start();
    player.setFileName(path);
    // The load ends in the event loop.
    if (!QTest::qWaitFor([&player] { return !player.isLoading(); }, 3000) ||
        player.frameCount() != track.frames || track.frames == 0) {
        qWarning("%s: %lld frames, expected %lld", qPrintable(name),
                 static_cast<long long>(player.frameCount()), track.frames);
        return -1;
    }
    while (player.playedFrames() == 0 && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    const qint64 firstFrames = clock.elapsed();
    QElapsedTimer played;
    played.start();
    while (player.isPlaying() && played.elapsed() < 10000)
        QTest::qWait(5);
    if (player.playedFrames() != track.frames || player.duration() != player.currentPosition()) {
        qWarning("%s: %lld frames played, expected %lld", qPrintable(name),
                 static_cast<long long>(player.playedFrames()), track.frames);
        return -1;
    }
    return firstFrames;
}

void TestSoundServerOutput::otherRateStartsWithoutWaitingForTheOldDevice_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("44.1 kHz stereo, then 48 kHz") << "chord_cbr.mp3"
                                                  << "formats/tone.opus";
    QTest::newRow("48 kHz stereo, then 22.05 kHz mono") << "formats/tone.opus"
                                                        << "formats/pcm24_mono.wav";
}

// Closing the first track's device takes the server over a second here; the
// second track starts long before that, and both play every frame.
void TestSoundServerOutput::otherRateStartsWithoutWaitingForTheOldDevice()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    audio::TrackPlayer player(*m_audio);
    QVERIFY(playToTheEnd(player, first) >= 0);
    const qint64 waited = playToTheEnd(player, second);
    QVERIFY(waited >= 0);
    QVERIFY2(waited < 500, qPrintable(QStringLiteral("first frames after %1 ms").arg(waited)));
    // And back, while the device of the first may still be closing.
    const qint64 back = playToTheEnd(player, first);
    QVERIFY(back >= 0);
    QVERIFY2(back < 500, qPrintable(QStringLiteral("first frames after %1 ms").arg(back)));
}

// The devices a format change replaced are closed before the player is gone:
// nothing of them outlives it (the sanitizer build checks the memory).
void TestSoundServerOutput::destroyedWhileReplacedDevicesClose()
{
    {
        audio::TrackPlayer player(*m_audio);
        for (const char *name : {"chord_cbr.mp3", "formats/tone.opus", "formats/pcm24_mono.wav"}) {
            player.setFileName(audioFixture(QString::fromLatin1(name)));
            QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0, 5000);
        }
    }
    audio::TrackPlayer player(*m_audio);
    QVERIFY(playToTheEnd(player, QStringLiteral("chord_cbr.mp3")) >= 0);
}

QTEST_GUILESS_MAIN(TestSoundServerOutput)
#include "tst_SoundServerOutput.moc"
