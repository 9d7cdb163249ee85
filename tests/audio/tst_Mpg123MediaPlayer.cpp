#include "AudioFixtures.h"
#include "Mpg123MediaPlayer.h"
#include "SdlAudio.h"
#include "WarningCounter.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <thread>

class TestMpg123MediaPlayer : public QObject
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

  private:
    QTemporaryDir m_dir;
    QHash<QString, ExpectedTrack> m_expected;
};

void TestMpg123MediaPlayer::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // Without a sound device the player falls back to the dummy driver; the
    // test runs with it chosen.
    const Mpg123MediaPlayer player;
    QCOMPARE(SdlAudio::instance().driverName(), QStringLiteral("dummy"));
    m_expected = expectedTracks();
    QCOMPARE(m_expected.size(), 3);
}

void TestMpg123MediaPlayer::exactDurationAtOnce_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with LAME header") << QStringLiteral("chord_cbr.mp3");
    QTest::newRow("VBR without header") << QStringLiteral("chord_vbr_noheader.mp3");
    QTest::newRow("WAV") << QStringLiteral("beep.wav");
}

void TestMpg123MediaPlayer::exactDurationAtOnce()
{
    QFETCH(QString, name);
    const ExpectedTrack expected = m_expected.value(name);
    Mpg123MediaPlayer player;
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

void TestMpg123MediaPlayer::playsToTheEndExactly_data()
{
    exactDurationAtOnce_data();
}

void TestMpg123MediaPlayer::playsToTheEndExactly()
{
    QFETCH(QString, name);
    Mpg123MediaPlayer player;
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
void TestMpg123MediaPlayer::positionFollowsTheClock()
{
    Mpg123MediaPlayer player;
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QElapsedTimer clock;
    clock.start();
    double last = 0.0;
    while (player.currentPosition() < 0.5 && clock.elapsed() < 5000) {
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

void TestMpg123MediaPlayer::stopHaltsAndKeepsTheTrack()
{
    Mpg123MediaPlayer player;
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

void TestMpg123MediaPlayer::loadThenStopPlaysNothing()
{
    Mpg123MediaPlayer player;
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    // A handler that takes its time between the assignment and the stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    player.stop();
    QTest::qWait(150);
    QVERIFY(!player.isPlaying());
    QCOMPARE(player.playedFrames(), 0);
    QCOMPARE(player.duration(), 1.0);
}

void TestMpg123MediaPlayer::reassignmentRestartsFromTheStart()
{
    Mpg123MediaPlayer player;
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
void TestMpg123MediaPlayer::playsWhileTheUiThreadIsBlocked()
{
    Mpg123MediaPlayer player;
    player.setFileName(audioFixture(QStringLiteral("beep.wav")));
    QTRY_VERIFY_WITH_TIMEOUT(player.isPlaying(), 2000);
    const double duration = player.duration();
    for (int i = 0; i < 100 && player.duration() - player.currentPosition() != 0.0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    QCOMPARE(player.duration() - player.currentPosition(), 0.0);
    QCOMPARE(player.duration(), duration);
}

void TestMpg123MediaPlayer::nothingLoaded_data()
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
    QTest::newRow("other format") << audioFixture(QStringLiteral("other.flac"));
}

// A failed assignment also unloads the track that was loaded before.
void TestMpg123MediaPlayer::nothingLoaded()
{
    QFETCH(QString, path);
    Mpg123MediaPlayer player;
    player.setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    QTRY_VERIFY_WITH_TIMEOUT(player.currentPosition() > 0.0, 3000);
    {
        WarningCounter warnings;
        player.setFileName(path);
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

QTEST_GUILESS_MAIN(TestMpg123MediaPlayer)
#include "tst_Mpg123MediaPlayer.moc"
