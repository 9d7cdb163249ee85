#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "OutputDevice.h"
#include "PrivateSoundServer.h"
#include "TrackPlayer.h"

#include <QTemporaryFile>
#include <QtTest>

#include <optional>

#include <unistd.h>

// A machine with no sound server and no card, as the programs meet it on a
// bare system or before the desktop's server is up: SDL_AUDIODRIVER empty,
// and PulseAudio's and PipeWire's sockets pointing nowhere.
class TestAudioFallback : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void fallsBackWithoutAWordOnStandardError();
    void aServerThatAppearsLaterIsUsed();

  private:
    std::optional<audio::AudioSystem> m_audio;
};

void TestAudioFallback::initTestCase()
{
    qputenv("SDL_AUDIODRIVER", "");
    qputenv("PULSE_SERVER", "unix:/nonexistent/native");
    qputenv("PIPEWIRE_REMOTE", "/nonexistent/pipewire-0");
    m_audio.emplace();
}

void TestAudioFallback::cleanupTestCase()
{
    m_audio.reset();
}

// What the sound libraries write while SDL probes every driver goes to file
// descriptor 2 directly, so that is what is caught.
void TestAudioFallback::fallsBackWithoutAWordOnStandardError()
{
    QTemporaryFile caught;
    QVERIFY(caught.open());
    const int savedStderr = dup(STDERR_FILENO);
    QVERIFY(savedStderr >= 0);
    QCOMPARE(dup2(caught.handle(), STDERR_FILENO), STDERR_FILENO);
    const Result<audio::OutputDevice> device = audio::OutputDevice::open(*m_audio, 44100, 2, 1024);
    const QString driver = m_audio->driverName();
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    QVERIFY2(device, qPrintable(device.error()));
    if (driver != QLatin1String("dummy"))
        QSKIP(qPrintable(QStringLiteral("a real output answered: ") + driver));
    const QByteArray written = readFile(caught.fileName());
    QVERIFY2(written.isEmpty(), written.constData());
}

// Once the retry interval has passed, the next track tries the real drivers
// again: the first track after a server came up plays through it, also on a
// player that kept its silent device open.
void TestAudioFallback::aServerThatAppearsLaterIsUsed()
{
    // Both tracks in the format of the device the player opens at once.
    audio::TrackPlayer player(*m_audio);
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0, 5000);
    if (m_audio->driverName() != QLatin1String("dummy"))
        QSKIP("a real output answered");
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 5000);
    PrivateSoundServer server(PrivateSoundServer::Kind::PulseAudio);
    if (const QStringList missing = server.missingPrograms(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' '))));
    if (const QString error = server.start(); !error.isEmpty())
        QSKIP(qPrintable(error));
    qputenv("PULSE_SERVER", QFile::encodeName(server.pulseServer()));
    QTest::qWait(static_cast<int>(audio::AudioSystem::RetryInterval.count()));
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0, 5000);
    QCOMPARE(m_audio->driverName(), QStringLiteral("pulseaudio"));
    const std::optional<QString> streams = server.pactl(
        {QStringLiteral("list"), QStringLiteral("short"), QStringLiteral("sink-inputs")});
    QVERIFY(streams);
    QVERIFY2(!streams->trimmed().isEmpty(), "no stream on the server");
    player.stop();
    qputenv("PULSE_SERVER", "unix:/nonexistent/native");
}

QTEST_GUILESS_MAIN(TestAudioFallback)
#include "tst_AudioFallback.moc"
