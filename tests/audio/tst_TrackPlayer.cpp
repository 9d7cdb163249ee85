#include "../fakes/FifoUnblocker.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "TrackPlayer.h"
#include "WarningCounter.h"

#include "PcmSource.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace {

// Waits for the load of the last assignment to end; false after 3 s.
bool waitForLoad(const audio::TrackPlayer &player)
{
    return QTest::qWaitFor([&player] { return !player.isLoading(); }, 3000);
}

// A track of 44.1 kHz stereo that states one length and delivers another,
// then ends with endValue (0: the end of the data; -1: undecodable).
class ScriptedSource final : public audio::PcmSource
{
  public:
    ScriptedSource(int64_t stated, int64_t delivered, int64_t endValue)
        : m_stated(stated), m_delivered(delivered), m_endValue(endValue)
    {}
    [[nodiscard]] int sampleRate() const override { return 44100; }
    [[nodiscard]] int channels() const override { return 2; }
    [[nodiscard]] int64_t frameCount() const override { return m_stated; }
    [[nodiscard]] int64_t read(int16_t *out, int64_t maxFrames) override
    {
        const int64_t n = std::min(maxFrames, m_delivered - m_read);
        if (n <= 0)
            return m_endValue;
        std::fill(out, out + n * 2, int16_t(1000));
        m_read += n;
        return n;
    }

  private:
    int64_t m_stated;
    int64_t m_delivered;
    int64_t m_endValue;
    int64_t m_read = 0;
};

// A loader whose loads of "stalled" block, as a read on a share that stopped
// answering does, until the gate opens; it outlives the test, like a worker
// it holds up. Every other name loads a scripted one-second track.
struct StallingLoader
{
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    int calls = 0;

    void release()
    {
        const std::lock_guard lock(mutex);
        open = true;
        opened.notify_all();
    }
    static audio::TrackPlayer::Loader of(const std::shared_ptr<StallingLoader> &gate)
    {
        return [gate](const QString &name) -> Result<std::unique_ptr<audio::PcmSource>> {
            std::unique_lock lock(gate->mutex);
            ++gate->calls;
            if (name == QLatin1String("stalled"))
                gate->opened.wait(lock, [&gate] { return gate->open; });
            return std::unique_ptr<audio::PcmSource>(new ScriptedSource(44100, 44100, 0));
        };
    }
};

} // namespace

enum class FileChange { TruncatedToZero, TruncatedPartWay, RewrittenShorter, RewrittenWithZeros };
Q_DECLARE_METATYPE(FileChange)

class TestTrackPlayer : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void exactDurationWhenLoaded_data();
    void exactDurationWhenLoaded();
    void endLandsOnWhatPlayed_data();
    void endLandsOnWhatPlayed();
    void stalledLoadHoldsUpNothing();
    void sameNameKeepsTheRunningLoad();
    void sameNameKeepsATrackThatNeverPlayed();
    void playsToTheEndExactly_data();
    void playsToTheEndExactly();
    void positionFollowsTheClock();
    void stopHaltsAndKeepsTheTrack();
    void loadThenStopPlaysNothing();
    void reassignmentRestartsFromTheStart();
    void playsWhileTheUiThreadIsBlocked();
    void nothingLoaded_data();
    void nothingLoaded();
    void notARegularFile_data();
    void notARegularFile();
    void fileChangesWhilePlaying_data();
    void fileChangesWhilePlaying();

  private:
    audio::AudioSystem m_audio;
    QTemporaryDir m_dir;
    QHash<QString, ExpectedTrack> m_expected;
    // Half a minute of whole MPEG frames: far longer than one refill of the
    // reader while it plays.
    QByteArray m_longTrack;
    qint64 m_longTrackFrames = 0;
};

void TestTrackPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Without a sound device the player falls back to the dummy driver; the
    // test runs with it chosen.
    const audio::TrackPlayer player(m_audio);
    QCOMPARE(m_audio.driverName(), QStringLiteral("dummy"));
    m_expected = expectedTracks();
    QCOMPARE(m_expected.size(), 4);

    const QString piece = QStringLiteral("chord_vbr_noheader.mp3");
    QFile in(audioFixture(piece));
    QVERIFY(in.open(QIODevice::ReadOnly));
    m_longTrack = in.readAll().repeated(30);
    m_longTrackFrames = 30 * m_expected.value(piece).frames;
}

void TestTrackPlayer::exactDurationWhenLoaded_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with LAME header") << QStringLiteral("chord_cbr.mp3");
    QTest::newRow("VBR without header") << QStringLiteral("chord_vbr_noheader.mp3");
    QTest::newRow("WAV") << QStringLiteral("beep.wav");
}

void TestTrackPlayer::exactDurationWhenLoaded()
{
    QFETCH(QString, name);
    const ExpectedTrack expected = m_expected.value(name);
    audio::TrackPlayer player(m_audio);
    const QString path = audioFixture(name);
    WarningCounter warnings;
    QSignalSpy finished(&player, &audio::MediaPlayer::loadFinished);
    player.setFileName(path);
    // Nothing is known before the load has ended.
    QVERIFY(player.isLoading());
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(player.currentPosition(), 0.0);
    QVERIFY(finished.wait(3000));
    QVERIFY(!player.isLoading());
    QCOMPARE(warnings.count(), 0);
    QCOMPARE(player.fileName(), path);
    QCOMPARE(player.frameCount(), expected.frames);
    QCOMPARE(player.duration(), double(expected.frames) / expected.sampleRate);
    QCOMPARE(player.currentPosition(), 0.0);
    player.stop();
    QTest::qWait(20);
    QCOMPARE(finished.count(), 1);
}

void TestTrackPlayer::endLandsOnWhatPlayed_data()
{
    QTest::addColumn<qint64>("stated");
    QTest::addColumn<qint64>("delivered");
    QTest::addColumn<qint64>("endValue");
    QTest::newRow("as stated") << qint64(22050) << qint64(22050) << qint64(0);
    QTest::newRow("more than stated") << qint64(11025) << qint64(33075) << qint64(0);
    QTest::newRow("fewer than stated") << qint64(44100) << qint64(11025) << qint64(0);
    QTest::newRow("undecodable part way") << qint64(44100) << qint64(11025) << qint64(-1);
    QTest::newRow("nothing but a stated length") << qint64(22050) << qint64(0) << qint64(0);
}

// Whatever the decoder yields plays, and the end is where it stops: the
// position never meets the duration before that, as the window's tick
// reads them (position, then duration), and meets it exactly there.
void TestTrackPlayer::endLandsOnWhatPlayed()
{
    QFETCH(qint64, stated);
    QFETCH(qint64, delivered);
    QFETCH(qint64, endValue);
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::Now,
                              [=](const QString &) -> Result<std::unique_ptr<audio::PcmSource>> {
                                  return std::unique_ptr<audio::PcmSource>(
                                      new ScriptedSource(stated, delivered, endValue));
                              });
    player.setFileName(QStringLiteral("scripted"));
    QVERIFY(waitForLoad(player));
    QCOMPARE(player.duration(), double(stated) / 44100);
    QElapsedTimer clock;
    clock.start();
    int earlyEnds = 0;
    // Sampled over the whole track and some way past its end.
    while (clock.elapsed() < std::max(stated, delivered) / 44 + 300) {
        const bool playingBefore = player.isPlaying();
        const double position = player.currentPosition();
        const double duration = player.duration();
        if (playingBefore && player.isPlaying() && duration - position == 0.0)
            ++earlyEnds;
        QTest::qWait(1);
    }
    QCOMPARE(earlyEnds, 0);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 2000);
    QCOMPARE(player.playedFrames(), delivered);
    QCOMPARE(player.frameCount(), delivered);
    QCOMPARE(player.duration(), double(delivered) / 44100);
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
}

// A load stuck in a read is left behind by the next assignment, which plays
// at once; when the stuck one comes back, it changes nothing.
void TestTrackPlayer::stalledLoadHoldsUpNothing()
{
    const auto gate = std::make_shared<StallingLoader>();
    auto player = std::make_unique<audio::TrackPlayer>(
        m_audio, audio::TrackPlayer::DeviceOpening::Now, StallingLoader::of(gate));
    QSignalSpy finished(player.get(), &audio::MediaPlayer::loadFinished);
    QElapsedTimer clock;
    clock.start();
    player->setFileName(QStringLiteral("stalled"));
    player->stop();
    QTest::qWait(50);
    QVERIFY(player->isLoading());
    player->setFileName(QStringLiteral("local"));
    QVERIFY(waitForLoad(*player));
    QTRY_VERIFY_WITH_TIMEOUT(player->currentPosition() > 0.0, 1000);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(finished.count(), 1);

    gate->release();
    QTRY_COMPARE_WITH_TIMEOUT(gate->calls, 2, 1000);
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(player->fileName(), QStringLiteral("local"));
    QVERIFY(player->isPlaying());

    // Nor does one hold up the player's end.
    const auto gate2 = std::make_shared<StallingLoader>();
    player = std::make_unique<audio::TrackPlayer>(m_audio, audio::TrackPlayer::DeviceOpening::Now,
                                                  StallingLoader::of(gate2));
    player->setFileName(QStringLiteral("stalled"));
    QTest::qWait(20);
    clock.restart();
    player.reset();
    QVERIFY2(clock.elapsed() < 200, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    gate2->release();
}

// A hover's load still running when the click on its track comes: the click
// keeps it, and the track plays as soon as it arrives.
void TestTrackPlayer::sameNameKeepsTheRunningLoad()
{
    const auto gate = std::make_shared<StallingLoader>();
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::Now,
                              StallingLoader::of(gate));
    player.setFileName(QStringLiteral("stalled"));
    player.stop();
    QTest::qWait(20);
    player.setFileName(QStringLiteral("stalled"));
    gate->release();
    QVERIFY(waitForLoad(player));
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.0, 1000);
    QCOMPARE(gate->calls, 1);
}

// The click after a hover: the hover's track, loaded and silent, plays at
// once without a second load; once it has played, the same name loads anew.
void TestTrackPlayer::sameNameKeepsATrackThatNeverPlayed()
{
    const auto gate = std::make_shared<StallingLoader>();
    audio::TrackPlayer player(m_audio, audio::TrackPlayer::DeviceOpening::Now,
                              StallingLoader::of(gate));
    player.setFileName(QStringLiteral("local"));
    player.stop();
    QVERIFY(waitForLoad(player));
    QTest::qWait(50);
    QCOMPARE(player.playedFrames(), 0);
    player.setFileName(QStringLiteral("local"));
    QVERIFY(!player.isLoading());
    QCOMPARE(player.duration(), 1.0);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.0, 1000);
    QCOMPARE(gate->calls, 1);

    player.setFileName(QStringLiteral("local"));
    QVERIFY(player.isLoading());
    QCOMPARE(player.currentPosition(), 0.0);
    QVERIFY(waitForLoad(player));
    QCOMPARE(gate->calls, 2);
    gate->release();
}

void TestTrackPlayer::playsToTheEndExactly_data()
{
    exactDurationWhenLoaded_data();
}

void TestTrackPlayer::playsToTheEndExactly()
{
    QFETCH(QString, name);
    audio::TrackPlayer player(m_audio);
    player.setFileName(audioFixture(name));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
    QCOMPARE(player.playedFrames(), m_expected.value(name).frames);
    QTest::qWait(100);
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
    // The player reloads and halts a finished track with the same name.
    player.setFileName(player.fileName());
    player.stop();
    QCOMPARE(player.currentPosition(), 0.0);
    QVERIFY(waitForLoad(player));
    QCOMPARE(player.currentPosition(), 0.0);
    QCOMPARE(player.duration(),
             double(m_expected.value(name).frames) / m_expected.value(name).sampleRate);
}

// The position is what the device took: it moves, and never ahead of the
// wall clock by more than one device buffer.
void TestTrackPlayer::positionFollowsTheClock()
{
    audio::TrackPlayer player(m_audio);
    QElapsedTimer clock;
    clock.start();
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    double last = 0.0;
    // The loop tests the position it last read: a fresh read in the
    // condition could pass 0.5 while `last` stays below it.
    while (last < 0.5 && clock.elapsed() < 5000) {
        QTest::qWait(20);
        const double position = player.currentPosition();
        QVERIFY(position >= last);
        QVERIFY2(position <= clock.elapsed() / 1000.0 + 2048.0 / 44100.0,
                 qPrintable(
                     QStringLiteral("%1 s played after %2 ms").arg(position).arg(clock.elapsed())));
        last = position;
    }
    QVERIFY(last >= 0.5);
}

void TestTrackPlayer::stopHaltsAndKeepsTheTrack()
{
    audio::TrackPlayer player(m_audio);
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.1, 3000);
    player.stop();
    QVERIFY(!player.isPlaying());
    const double stoppedAt = player.currentPosition();
    QTest::qWait(150);
    QCOMPARE(player.currentPosition(), stoppedAt);
    QVERIFY(stoppedAt < player.duration());
    QCOMPARE(player.duration(), 1.0);
}

void TestTrackPlayer::loadThenStopPlaysNothing()
{
    audio::TrackPlayer player(m_audio);
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    // A handler that takes its time between the assignment and the stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    player.stop();
    QTest::qWait(150);
    QVERIFY(waitForLoad(player));
    QTest::qWait(100);
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.playedFrames(), 0);
    QCOMPARE(player.duration(), 1.0);
}

void TestTrackPlayer::reassignmentRestartsFromTheStart()
{
    audio::TrackPlayer player(m_audio);
    const QString path = audioFixture(QStringLiteral("chord_cbr.mp3"));
    player.setFileName(path);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.2, 3000);
    player.setFileName(path);
    QCOMPARE(player.currentPosition(), 0.0);
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 2000);
    // A different format reopens the device.
    player.setFileName(audioFixture(QStringLiteral("beep.wav")));
    QCOMPARE(player.currentPosition(), 0.0);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.0, 3000);
}

// Output runs on SDL's thread: once started, the track plays to its end while
// the UI thread processes no event at all.
void TestTrackPlayer::playsWhileTheUiThreadIsBlocked()
{
    audio::TrackPlayer player(m_audio);
    player.setFileName(audioFixture(QStringLiteral("beep.wav")));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 2000);
    const double duration = player.duration();
    for (int i = 0; i < 100 && player.duration() - player.currentPosition() != 0.0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
    QCOMPARE(player.duration(), duration);
}

void TestTrackPlayer::nothingLoaded_data()
{
    QTest::addColumn<QString>("path");
    const QString dir = m_dir.path();
    QFile empty(dir + QStringLiteral("/empty.mp3"));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();
    QFile text(dir + QStringLiteral("/notes.mp3"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("播放列表\n");
    text.close();

    QTest::newRow("empty name") << QString();
    QTest::newRow("missing file") << dir + QStringLiteral("/missing.mp3");
    QTest::newRow("directory") << dir;
    QTest::newRow("wildcard name") << QStringLiteral("c:\\*.mp3");
    QTest::newRow("not audio") << text.fileName();
    QTest::newRow("zero length") << empty.fileName();
    QTest::newRow("truncated MP3") << audioFixture(QStringLiteral("truncated.mp3"));
    QTest::newRow("corrupt MP3") << audioFixture(QStringLiteral("corrupt.mp3"));
    QTest::newRow("no audio stream") << audioFixture(QStringLiteral("formats/silent_video.mkv"));
}

// A failed assignment also unloads the track that was loaded before.
void TestTrackPlayer::nothingLoaded()
{
    QFETCH(QString, path);
    audio::TrackPlayer player(m_audio);
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.0, 3000);
    {
        WarningCounter warnings;
        player.setFileName(path);
        QCOMPARE(player.duration(), 0.0);
        QVERIFY(waitForLoad(player));
        QCOMPARE(warnings.count(), 1);
    }
    QCOMPARE(player.fileName(), path);
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(player.currentPosition(), 0.0);
    QTest::qWait(60);
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.currentPosition(), 0.0);
    player.stop();
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
}

void TestTrackPlayer::notARegularFile_data()
{
    QTest::addColumn<QString>("path");
    const QString fifo = m_dir.filePath(QStringLiteral("fifo.mp3"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QTest::newRow("FIFO") << fifo;
    QTest::newRow("character device") << QStringLiteral("/dev/zero");
}

// Refused at once, as a track that does not load: a FIFO with no writer must
// not hold up the window that hovers over it.
void TestTrackPlayer::notARegularFile()
{
    QFETCH(QString, path);
    audio::TrackPlayer player(m_audio);
    const FifoUnblocker unblocker(path);
    WarningCounter warnings;
    QElapsedTimer clock;
    clock.start();
    player.setFileName(path);
    QVERIFY(waitForLoad(player));
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QCOMPARE(warnings.count(), 1);
    QCOMPARE(player.fileName(), path);
    QCOMPARE(player.duration(), 0.0);
    QCOMPARE(player.currentPosition(), 0.0);
    QVERIFY(!player.isPlaying());
}

void TestTrackPlayer::fileChangesWhilePlaying_data()
{
    QTest::addColumn<FileChange>("change");
    QTest::newRow("truncated to zero") << FileChange::TruncatedToZero;
    QTest::newRow("truncated part way") << FileChange::TruncatedPartWay;
    QTest::newRow("rewritten in place, shorter") << FileChange::RewrittenShorter;
    QTest::newRow("rewritten in place with zeros") << FileChange::RewrittenWithZeros;
}

// A file changed under the playing track: the player survives, and the track
// ends long before its half minute is up, with the position on the duration,
// which becomes what played, as at any end.
void TestTrackPlayer::fileChangesWhilePlaying()
{
    QFETCH(FileChange, change);
    const QString path = m_dir.filePath(QStringLiteral("playing-%1.mp3").arg(int(change)));
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        QCOMPARE(out.write(m_longTrack), m_longTrack.size());
    }
    audio::TrackPlayer player(m_audio);
    player.setFileName(path);
    const double duration = double(m_longTrackFrames) / 44100;
    QVERIFY(waitForLoad(player));
    QCOMPARE(player.duration(), duration);
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.3, 3000);

    QFile file(path);
    switch (change) {
    case FileChange::TruncatedToZero:
        QVERIFY(file.resize(0));
        break;
    case FileChange::TruncatedPartWay:
        // About four seconds in.
        QVERIFY(file.resize(32 * 1024));
        break;
    case FileChange::RewrittenShorter:
        // The same music, two seconds of it: it plays on, then runs out.
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(m_longTrack.left(m_longTrack.size() / 15)), m_longTrack.size() / 15);
        file.close();
        break;
    case FileChange::RewrittenWithZeros:
        QVERIFY(file.open(QIODevice::ReadWrite));
        QCOMPARE(file.write(QByteArray(m_longTrack.size(), '\0')), m_longTrack.size());
        file.close();
        break;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!player.isPlaying(), 10000);
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
    QVERIFY(player.duration() < duration);
    QCOMPARE(player.duration(), double(player.playedFrames()) / 44100);
}

QTEST_GUILESS_MAIN(TestTrackPlayer)
#include "tst_TrackPlayer.moc"
