#include "../fakes/FifoUnblocker.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "TrackPlayer.h"
#include "WarningCounter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <thread>

enum class FileChange { TruncatedToZero, TruncatedPartWay, RewrittenShorter, RewrittenWithZeros };
Q_DECLARE_METATYPE(FileChange)

class TestTrackPlayer : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void exactDurationAtOnce_data();
    void exactDurationAtOnce();
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

void TestTrackPlayer::exactDurationAtOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with LAME header") << QStringLiteral("chord_cbr.mp3");
    QTest::newRow("VBR without header") << QStringLiteral("chord_vbr_noheader.mp3");
    QTest::newRow("WAV") << QStringLiteral("beep.wav");
}

void TestTrackPlayer::exactDurationAtOnce()
{
    QFETCH(QString, name);
    const ExpectedTrack expected = m_expected.value(name);
    audio::TrackPlayer player(m_audio);
    const QString path = audioFixture(name);
    WarningCounter warnings;
    player.setFileName(path);
    QCOMPARE(warnings.count(), 0);
    QCOMPARE(player.fileName(), path);
    QCOMPARE(player.frameCount(), expected.frames);
    QCOMPARE(player.duration(), double(expected.frames) / expected.sampleRate);
    QCOMPARE(player.currentPosition(), 0.0);
    player.stop();
}

void TestTrackPlayer::playsToTheEndExactly_data()
{
    exactDurationAtOnce_data();
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

    // An empty slot is not a fault: no warning for it.
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
        QCOMPARE(warnings.count(), path.isEmpty() ? 0 : 1);
        // The player hovers, plays and reloads the same file: one warning in all.
        player.setFileName(path);
        player.stop();
        player.setFileName(path);
        QCOMPARE(warnings.count(), path.isEmpty() ? 0 : 1);
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
// ends long before its half minute is up, with the position on the duration
// measured at load, as at any end.
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
    QCOMPARE(player.duration(), duration);
}

QTEST_GUILESS_MAIN(TestTrackPlayer)
#include "tst_TrackPlayer.moc"
