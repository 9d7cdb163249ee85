#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "DiskDevice.h"
#include "PcmSource.h"
#include "TrackPlayer.h"

#include <QtTest>

#include <algorithm>
#include <memory>

// Every format FFmpeg plays, through the player onto SDL's "disk" driver,
// which writes every byte the device takes to a file. The tracks follow each
// other at 44.1, 48 and 22.05 kHz, mono and stereo, so the device is opened
// anew between them.
class TestFfmpegDiskOutput : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void cleanupTestCase();
    void wholeTrackReachesTheDevice_data();
    void wholeTrackReachesTheDevice();

  private:
    DiskDevice m_disk;
    QHash<QString, ExpectedTrack> m_expected;
    std::unique_ptr<audio::AudioSystem> m_audio;
    std::unique_ptr<audio::TrackPlayer> m_player;
};

void TestFfmpegDiskOutput::initTestCase()
{
    QVERIFY(m_disk.start());
    m_audio = std::make_unique<audio::AudioSystem>();
    m_player = std::make_unique<audio::TrackPlayer>(*m_audio);
    QCOMPARE(m_audio->driverName(), QStringLiteral("disk"));
    m_expected = expectedTracks(QStringLiteral("formats/expected.txt"));
    QCOMPARE(m_expected.size(), 31);
}

void TestFfmpegDiskOutput::cleanupTestCase()
{
    m_player.reset();
    m_audio.reset();
}

void TestFfmpegDiskOutput::wholeTrackReachesTheDevice_data()
{
    QTest::addColumn<QString>("name");
    QStringList names = m_expected.keys();
    // Forty seconds of it would only slow the test down.
    names.removeOne(QStringLiteral("long.opus"));
    names.sort();
    for (const QString &name : names)
        QTest::newRow(qPrintable(name)) << name;
}

// The device file holds the decoded track, in one run, and the position
// ends on the duration. The stated length is within a twentieth of a second
// of the ffmpeg tool's decode, which the source delivers whole.
void TestFfmpegDiskOutput::wholeTrackReachesTheDevice()
{
    QFETCH(QString, name);
    const ExpectedTrack expected = m_expected.value(name);
    const qint64 tolerance = expected.sampleRate / 20;
    const QString path = audioFixture(QStringLiteral("formats/") + name);
    Result<std::unique_ptr<audio::PcmSource>> loaded = audio::AudioFileLoader::load(path);
    QVERIFY2(loaded, qPrintable(loaded.error()));
    const std::unique_ptr<audio::PcmSource> reference = std::move(loaded).value();
    QVERIFY(qAbs(reference->frameCount() - expected.frames) <= tolerance);
    const int frameBytes = expected.channels * 2;
    QByteArray decoded(int((expected.frames + tolerance) * frameBytes), '\0');
    qint64 frames = 0;
    for (int64_t got; (got = reference->read(
                           reinterpret_cast<int16_t *>(decoded.data()) + frames * expected.channels,
                           std::min<qint64>(1000, expected.frames + tolerance - frames))) > 0;)
        frames += got;
    QVERIFY(qAbs(frames - expected.frames) <= tolerance);
    decoded.truncate(frames * frameBytes);
    QVERIFY(!DiskDevice::allSilent(decoded));

    // A device opened anew starts its file anew: measured once the track is
    // loaded, before the event loop starts it.
    qsizetype before = -1;
    const QObject context;
    QObject::connect(m_player.get(), &audio::MediaPlayer::loadFinished, &context,
                     [this, &before] { before = m_disk.output().size(); });
    m_player->setFileName(path);
    QTRY_VERIFY_WITH_TIMEOUT(before >= 0, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(m_player->isPlaying(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(m_player->duration() - m_player->currentPosition(), 0.0, 10000);
    const qint64 shorter = std::min<qint64>(m_player->frameCount(), frames);
    QTest::qWait(200);
    const QByteArray played = m_disk.output().mid(before);

    // The track's first sound, wherever the device's own silence ends.
    const qsizetype firstSound =
        std::find_if(decoded.begin(), decoded.end(), [](char byte) { return byte != 0; }) -
        decoded.begin();
    const qsizetype probe = firstSound / frameBytes * frameBytes;
    const qsizetype found = played.indexOf(decoded.mid(probe, 4096));
    QVERIFY2(found >= 0, "the decoded track never reached the device");
    const qsizetype start = found - probe;
    QVERIFY(start >= 0);
    QVERIFY(DiskDevice::allSilent(played.left(start)));
    // The decode reaches the device at least as far as the shorter of it and
    // the stated length, and nothing but silence follows.
    qsizetype same = 0;
    const QByteArray heard = played.mid(start, decoded.size());
    while (same < heard.size() && heard[same] == decoded[same])
        ++same;
    QVERIFY2(same >= shorter * frameBytes,
             qPrintable(QStringLiteral("%1 of %2 frames").arg(same / frameBytes).arg(shorter)));
    QVERIFY(DiskDevice::allSilent(played.mid(start + same)));
}

QTEST_GUILESS_MAIN(TestFfmpegDiskOutput)
#include "tst_FfmpegDiskOutput.moc"
