#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "TrackPlayer.h"
#include "WarningCounter.h"

#include <QElapsedTimer>
#include <QtTest>

#include <optional>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// A sound server that takes every connection and never answers: a listening
// socket nobody reads, as a half-started or stuck server is. SDL's PulseAudio
// back end waits for it until the client library gives up, half a minute.
// The player's thread (the window's) must go on meanwhile: it waits for a
// device a moment, and not at all once that open has not answered.
class TestSilentSoundServer : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void playerGoesOnWhileTheServerIsSilent();

  private:
    // The longest time the event loop did not run while f ran and until the
    // player had no load left; -1 when a load was still running after 5 s.
    template <typename F> qint64 longestStall(audio::TrackPlayer &player, F f);

    QTemporaryDir m_dir;
    int m_socket = -1;
    std::optional<audio::AudioSystem> m_audio;
};

namespace {

// What a user bears once, the first click after a server went quiet; then
// what goes unnoticed.
constexpr qint64 FirstStallMs = 2500;
constexpr qint64 NextStallMs = 500;

} // namespace

void TestSilentSoundServer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QByteArray path = QFile::encodeName(m_dir.filePath(QStringLiteral("native")));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    QVERIFY(size_t(path.size()) < sizeof(address.sun_path));
    std::copy(path.begin(), path.end(), address.sun_path);
    m_socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    QVERIFY(m_socket >= 0);
    QCOMPARE(::bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
    QCOMPARE(::listen(m_socket, 64), 0);
    qputenv("PULSE_SERVER", "unix:" + path);
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    m_audio.emplace();
}

// The system goes while SDL still waits for the server: it leaves SDL's
// audio to end with the process.
void TestSilentSoundServer::cleanupTestCase()
{
    m_audio.reset();
    ::close(m_socket);
}

template <typename F> qint64 TestSilentSoundServer::longestStall(audio::TrackPlayer &player, F f)
{
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    ticks.setInterval(5);
    connect(&ticks, &QTimer::timeout, &ticks,
            [&] { longest = std::max(longest, sinceTick.restart()); });
    ticks.start();
    sinceTick.start();
    f();
    if (!QTest::qWaitFor([&player] { return !player.isLoading(); }, 5000))
        return -1;
    QTest::qWait(50);
    return std::max(longest, sinceTick.elapsed());
}

void TestSilentSoundServer::playerGoesOnWhileTheServerIsSilent()
{
    const WarningCounter warnings;
    std::optional<audio::TrackPlayer> player;
    player.emplace(*m_audio, audio::TrackPlayer::DeviceOpening::OnRequest);
    // The first track waits for the device the player started opening.
    const qint64 first = longestStall(*player, [&] {
        player->openDeviceInBackground();
        player->setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    });
    QVERIFY2(first >= 0 && first < FirstStallMs, qPrintable(QString::number(first)));
    QVERIFY(!player->isPlaying());
    QCOMPARE(player->frameCount(), 0);
    // The server was reached, and is still waited for.
    pollfd waiting{m_socket, POLLIN, 0};
    QCOMPARE(::poll(&waiting, 1, 0), 1);
    // Once it has not answered, the next track does not wait for it.
    const qint64 next = longestStall(
        *player, [&] { player->setFileName(audioFixture(QStringLiteral("beep.wav"))); });
    QVERIFY2(next >= 0 && next < NextStallMs, qPrintable(QString::number(next)));
    QCOMPARE(player->frameCount(), 0);
    QCOMPARE(warnings.count(), 2); // one for each file that has no output
    QElapsedTimer going;
    going.start();
    player.reset();
    QVERIFY(going.elapsed() < NextStallMs);
}

QTEST_GUILESS_MAIN(TestSilentSoundServer)
#include "tst_SilentSoundServer.moc"
