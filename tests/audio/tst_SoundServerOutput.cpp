#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "PrivateSoundServer.h"
#include "TrackPlayer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtEndian>
#include <QtTest>

#include <cmath>
#include <ctime>
#include <optional>

// The player on a sound server, as on most desktops: a private PulseAudio
// server with a null sink, or (PLOVI_TEST_SOUND_SERVER=pipewire) a private
// PipeWire with its PulseAudio server, started here and skipped where it is
// not installed. Unlike SDL's dummy and disk drivers, a server takes several
// devices at once, closing one waits for the server (over a second on the
// null sink), and the server can go away under the player.
class TestSoundServerOutput : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void otherRateStartsWithoutWaitingForTheOldDevice_data();
    void otherRateStartsWithoutWaitingForTheOldDevice();
    void destroyedWhileReplacedDevicesClose();
    void namedInTheMixer_data();
    void namedInTheMixer();
    void nextTrackReachesARestartedServer();
    void playingTrackGoesOnAfterARestart();
    void playingTrackEndsWhenNoServerComesBack();

  private:
    // Milliseconds from the assignment to the first frames on the device;
    // then plays the track to its end and checks every frame went out.
    qint64 playToTheEnd(audio::TrackPlayer &player, const QString &name);
    // The properties of each stream on the server, as pactl lists them.
    [[nodiscard]] QList<QHash<QString, QString>> sinkInputs() const;
    [[nodiscard]] QString startServer();

    QTemporaryDir m_dir;
    std::optional<PrivateSoundServer> m_server;
    std::optional<audio::AudioSystem> m_audio;
    QString m_longTrack; // LongTrackSeconds of 44.1 kHz stereo
};

namespace {

constexpr int LongTrackSeconds = 6;

// The sanitizers slow SDL's and the server's threads several times over: the
// limits a user would notice hold for the plain build.
#if defined(__SANITIZE_ADDRESS__)
constexpr int Slowdown = 3;
#else
constexpr int Slowdown = 1;
#endif
constexpr int ReachesTheServerMs = 2000 * Slowdown;

// A sine tone as a plain 16-bit PCM WAV file.
QByteArray toneWav(int seconds, int rate, int channels)
{
    const qint64 frames = qint64(seconds) * rate;
    const auto dataBytes = static_cast<quint32>(frames * channels * 2);
    QByteArray wav(44, '\0');
    auto put32 = [&wav](int at, quint32 v) { qToLittleEndian(v, wav.data() + at); };
    auto put16 = [&wav](int at, quint16 v) { qToLittleEndian(v, wav.data() + at); };
    wav.replace(0, 4, "RIFF");
    put32(4, 36 + dataBytes);
    wav.replace(8, 8, "WAVEfmt ");
    put32(16, 16);
    put16(20, 1);
    put16(22, static_cast<quint16>(channels));
    put32(24, static_cast<quint32>(rate));
    put32(28, static_cast<quint32>(rate * channels * 2));
    put16(32, static_cast<quint16>(channels * 2));
    put16(34, 16);
    wav.replace(36, 4, "data");
    put32(40, dataBytes);
    wav.resize(44 + dataBytes);
    auto *samples = reinterpret_cast<qint16 *>(wav.data() + 44);
    for (qint64 i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] =
                static_cast<qint16>(8000 * std::sin(2 * M_PI * 440.0 * double(i) / rate));
    return wav;
}

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

QString TestSoundServerOutput::startServer()
{
    return m_server->start();
}

void TestSoundServerOutput::initTestCase()
{
    const bool pipewire = qgetenv("PLOVI_TEST_SOUND_SERVER") == "pipewire";
    m_server.emplace(pipewire ? PrivateSoundServer::Kind::PipeWire
                              : PrivateSoundServer::Kind::PulseAudio);
    if (const QStringList missing = m_server->missingPrograms(); !missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("not installed: ") + missing.join(QLatin1Char(' '))));
    // A machine that cannot run a server (no shared memory, say) is not one
    // this test is about.
    if (const QString error = startServer(); !error.isEmpty())
        QSKIP(qPrintable(error));
    QVERIFY(m_dir.isValid());
    m_longTrack = m_dir.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeFile(m_longTrack, toneWav(LongTrackSeconds, 44100, 2)));
    qputenv("PULSE_SERVER", QFile::encodeName(m_server->pulseServer()));
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    m_audio.emplace();
    QCOMPARE(m_audio->driverName(), QStringLiteral("pulseaudio"));
}

void TestSoundServerOutput::cleanupTestCase()
{
    m_audio.reset();
    m_server.reset();
}

QList<QHash<QString, QString>> TestSoundServerOutput::sinkInputs() const
{
    QList<QHash<QString, QString>> streams;
    const std::optional<QString> listed =
        m_server->pactl({QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!listed)
        return streams;
    static const QRegularExpression property(QStringLiteral("^\\s+([\\w.-]+) = \"(.*)\"$"));
    for (const QString &line : listed->split(QLatin1Char('\n'))) {
        if (line.startsWith(QStringLiteral("Sink Input #")))
            streams.append(QHash<QString, QString>());
        else if (const QRegularExpressionMatch m = property.match(line);
                 m.hasMatch() && !streams.isEmpty())
            streams.last().insert(m.captured(1), m.captured(2));
    }
    return streams;
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

void TestSoundServerOutput::namedInTheMixer_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the slot's short name")
        << QStringLiteral("晨曲 No.1") << "chord_cbr.mp3" << QStringLiteral("晨曲 No.1");
    QTest::newRow("no short name: the file's name")
        << QString() << "other.flac" << QStringLiteral("other.flac");
}

// What a desktop's mixer shows for the stream, as the server lists it.
void TestSoundServerOutput::namedInTheMixer()
{
    QFETCH(QString, title);
    QFETCH(QString, file);
    QFETCH(QString, shown);
    audio::TrackPlayer player(*m_audio);
    player.setStreamTitle(title);
    player.setFileName(audioFixture(file));
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0, 5000);
    QList<QHash<QString, QString>> streams;
    QTRY_VERIFY_WITH_TIMEOUT(
        (streams = sinkInputs(),
         std::ranges::any_of(streams,
                             [&](const auto &s) { return s.value("media.name") == shown; })),
        3000);
    const auto stream = std::ranges::find_if(
        streams, [&](const auto &s) { return s.value("media.name") == shown; });
    QCOMPARE(stream->value(QStringLiteral("application.name")), QStringLiteral("Plovi"));
    QCOMPARE(stream->value(QStringLiteral("application.icon_name")), QStringLiteral("plovi"));
    QCOMPARE(stream->value(QStringLiteral("media.role")), QStringLiteral("music"));
    player.stop();
}

// The server goes away between two tracks and comes back: the next track
// plays through the new server, within 2 s of the click.
void TestSoundServerOutput::nextTrackReachesARestartedServer()
{
    audio::TrackPlayer player(*m_audio);
    QVERIFY(playToTheEnd(player, QStringLiteral("chord_cbr.mp3")) >= 0);
    m_server->stop();
    QTest::qWait(300);
    QCOMPARE(startServer(), QString());
    // The same track again: same format, same stream name, and still a new
    // device, as the old one was lost.
    QElapsedTimer clock;
    clock.start();
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0 && !sinkInputs().isEmpty(),
                             ReachesTheServerMs);
    QVERIFY2(clock.elapsed() < ReachesTheServerMs, qPrintable(QString::number(clock.elapsed())));
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 5000);
    QCOMPARE(player.playedFrames(), qint64(44100));
}

// The server restarts while a track plays: the track goes on through the new
// server from about where it was, and plays to its end.
void TestSoundServerOutput::playingTrackGoesOnAfterARestart()
{
    audio::TrackPlayer player(*m_audio);
    player.setStreamTitle(QStringLiteral("long"));
    player.setFileName(m_longTrack);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isLoading(), 5000);
    QCOMPARE(player.frameCount(), qint64(LongTrackSeconds) * 44100);
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 44100, 5000);
    m_server->stop();
    QTest::qWait(500);
    const qint64 before = player.playedFrames();
    // Halted while no server answers, not run on into nothing.
    QVERIFY(!player.isPlaying());
    QCOMPARE(startServer(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(
        std::ranges::any_of(sinkInputs(),
                            [](const auto &s) { return s.value("media.name") == "long"; }),
        ReachesTheServerMs);
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > before, ReachesTheServerMs);
    QVERIFY(player.playedFrames() < player.frameCount());
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() == player.duration(),
                             LongTrackSeconds * 1000 + 3000);
    QVERIFY(!player.isPlaying());
}

// No server comes back: the track ends about five seconds later as a file cut
// short ends, without spinning while it waits.
void TestSoundServerOutput::playingTrackEndsWhenNoServerComesBack()
{
    audio::TrackPlayer player(*m_audio);
    player.setFileName(m_longTrack);
    QTRY_VERIFY_WITH_TIMEOUT(player.playedFrames() > 0, 5000);
    m_server->stop();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = processCpuSeconds();
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() == player.duration(), 9000);
    const qint64 ended = clock.elapsed();
    const double cpu = processCpuSeconds() - cpuBefore;
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.playedFrames(), player.frameCount());
    QVERIFY2(ended >= 4500 && ended < 7000, qPrintable(QString::number(ended)));
    QVERIFY2(cpu < 0.05 * double(ended) / 1000.0, qPrintable(QString::number(cpu)));
    QCOMPARE(startServer(), QString());
    // And the next click plays on the server that came back.
    QVERIFY(playToTheEnd(player, QStringLiteral("chord_cbr.mp3")) >= 0);
}

QTEST_GUILESS_MAIN(TestSoundServerOutput)
#include "tst_SoundServerOutput.moc"
