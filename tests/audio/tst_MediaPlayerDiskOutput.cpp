#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "DiskDevice.h"
#include "PcmSource.h"
#include "TrackPlayer.h"

#include <QtTest>

#include <chrono>
#include <memory>
#include <thread>

// Runs with SDL's "disk" driver, which writes every byte the device takes to
// a file: what the player hands out can be read back.
class TestMediaPlayerDiskOutput : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void loadThenStopReachesNothing();
    void decodedAudioReachesTheDevice_data();
    void decodedAudioReachesTheDevice();
    void loadThenStopAfterPlayingReachesNothing();

  private:
    DiskDevice m_disk;
    std::unique_ptr<audio::AudioSystem> m_audio;
    std::unique_ptr<audio::TrackPlayer> m_player;
};

void TestMediaPlayerDiskOutput::initTestCase()
{
    QVERIFY(m_disk.start());
    m_audio = std::make_unique<audio::AudioSystem>();
    m_player = std::make_unique<audio::TrackPlayer>(*m_audio);
    QCOMPARE(m_audio->driverName(), QStringLiteral("disk"));
    QVERIFY(QFile::exists(m_disk.path()));
}

void TestMediaPlayerDiskOutput::cleanupTestCase()
{
    m_player.reset();
    m_audio.reset();
}

void TestMediaPlayerDiskOutput::loadThenStopReachesNothing()
{
    m_player->setFileName(audioFixture(QStringLiteral("chord_cbr.mp3")));
    // A handler that takes its time between the assignment and the stop.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    m_player->stop();
    QTest::qWait(300);
    QCOMPARE(m_player->playedFrames(), 0);
    QVERIFY(DiskDevice::allSilent(m_disk.output()));
}

void TestMediaPlayerDiskOutput::decodedAudioReachesTheDevice_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("CBR with LAME header") << QStringLiteral("chord_cbr.mp3");
    QTest::newRow("VBR without header") << QStringLiteral("chord_vbr_noheader.mp3");
}

// The device file holds the whole decoded track, byte for byte, in one run.
void TestMediaPlayerDiskOutput::decodedAudioReachesTheDevice()
{
    QFETCH(QString, name);
    Result<std::unique_ptr<audio::PcmSource>> loaded =
        audio::AudioFileLoader::load(audioFixture(name));
    QVERIFY2(loaded, qPrintable(loaded.error()));
    const std::unique_ptr<audio::PcmSource> reference = std::move(loaded).value();
    QByteArray decoded(int(reference->frameCount() * reference->channels() * 2), '\0');
    QCOMPARE(reference->read(reinterpret_cast<int16_t *>(decoded.data()), reference->frameCount()),
             reference->frameCount());
    QVERIFY(!DiskDevice::allSilent(decoded));

    const qsizetype before = m_disk.output().size();
    m_player->setFileName(audioFixture(name));
    QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_player->duration() - m_player->currentPosition(), 0.0, 10000);
    QTest::qWait(200);
    const QByteArray played = m_disk.output().mid(before);

    const qsizetype start = played.indexOf(decoded.left(4096));
    QVERIFY2(start >= 0, "the decoded start of the track never reached the device");
    QVERIFY(DiskDevice::allSilent(played.left(start)));
    QCOMPARE(played.mid(start, decoded.size()), decoded);
    QVERIFY(DiskDevice::allSilent(played.mid(start + decoded.size())));
}

void TestMediaPlayerDiskOutput::loadThenStopAfterPlayingReachesNothing()
{
    const qsizetype before = m_disk.output().size();
    for (int i = 0; i < 5; ++i) {
        m_player->setFileName(audioFixture(QStringLiteral("chord_vbr_noheader.mp3")));
        std::this_thread::sleep_for(std::chrono::milliseconds(60));
        m_player->stop();
        QTest::qWait(60);
    }
    QTest::qWait(200);
    QVERIFY(DiskDevice::allSilent(m_disk.output().mid(before)));
}

QTEST_GUILESS_MAIN(TestMediaPlayerDiskOutput)
#include "tst_MediaPlayerDiskOutput.moc"
