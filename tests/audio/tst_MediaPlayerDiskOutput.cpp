#include "AudioFileLoader.h"
#include "AudioFixtures.h"
#include "AudioSystem.h"
#include "DiskDevice.h"
#include "LoudnessLevels.h"
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
    void stopFallsSmoothlyToSilence();
    void fadeOutFallsOverTwoSeconds();
    void tracksPlayAtEvenLoudness();
    void playerGoingWhilePlayingEndsSmoothly();

  private:
    QTemporaryDir m_tones;
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

namespace {

constexpr int ToneRate = 44100;
constexpr int TonePeak = 16000;

// Left-channel samples of what the device took since `from` bytes.
std::vector<int> leftSamples(const QByteArray &bytes)
{
    std::vector<int> left;
    const auto *samples = reinterpret_cast<const int16_t *>(bytes.constData());
    for (qsizetype k = 0; k + 1 < bytes.size() / 2; k += 2)
        left.push_back(samples[k]);
    return left;
}

qsizetype lastSounding(const std::vector<int> &samples)
{
    for (auto k = static_cast<qsizetype>(samples.size()) - 1; k >= 0; --k) {
        if (samples[size_t(k)] != 0)
            return k;
    }
    return -1;
}

// The largest magnitude in the 10 ms before `end`.
int peakBefore(const std::vector<int> &samples, qsizetype end)
{
    int peak = 0;
    for (qsizetype k = std::max<qsizetype>(0, end - ToneRate / 100); k < end; ++k)
        peak = std::max(peak, std::abs(samples[size_t(k)]));
    return peak;
}

} // namespace

// A stop in the middle of a loud tone: the sound falls to zero with no step
// larger than a tenth of the tone's peak (a cut would step by up to the peak).
void TestMediaPlayerDiskOutput::stopFallsSmoothlyToSilence()
{
    const QString tone = m_tones.filePath(QStringLiteral("tone.wav"));
    QVERIFY(writeToneWav(tone, 2.0, 440.0, TonePeak));
    for (int round = 0; round < 3; ++round) {
        const qsizetype before = m_disk.output().size();
        m_player->setFileName(tone);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->playedFrames() > ToneRate / 4 + round * 1000, 3000);
        m_player->stop();
        QVERIFY(!m_player->isPlaying());
        QTest::qWait(300);
        const std::vector<int> left = leftSamples(m_disk.output().mid(before));
        const qsizetype last = lastSounding(left);
        QVERIFY(last > ToneRate / 4);
        QVERIFY(peakBefore(left, last - 221) > TonePeak * 9 / 10);
        int largestStep = std::abs(left[size_t(last)]);
        for (qsizetype k = last - 300; k < last; ++k)
            largestStep = std::max(largestStep, std::abs(left[size_t(k + 1)] - left[size_t(k)]));
        QVERIFY2(largestStep <= TonePeak / 10, qPrintable(QString::number(largestStep)));
    }
}

// The level falls in a straight line to silence over 2 s; then playback has
// ended short of the track's end.
void TestMediaPlayerDiskOutput::fadeOutFallsOverTwoSeconds()
{
    const QString tone = m_tones.filePath(QStringLiteral("long.wav"));
    QVERIFY(writeToneWav(tone, 4.0, 440.0, TonePeak));
    const qsizetype before = m_disk.output().size();
    m_player->setFileName(tone);
    QTRY_VERIFY_WITH_TIMEOUT(m_player->playedFrames() > ToneRate / 4, 3000);
    m_player->fadeOut(2.0);
    QVERIFY(!m_player->hasFadedOut());
    QTRY_VERIFY_WITH_TIMEOUT(m_player->hasFadedOut(), 4000);
    QVERIFY(!m_player->isPlaying());
    QVERIFY(m_player->currentPosition() > 2.2);
    QVERIFY(m_player->currentPosition() < m_player->duration());
    QTest::qWait(200);
    const std::vector<int> left = leftSamples(m_disk.output().mid(before));
    const qsizetype last = lastSounding(left);
    QVERIFY(last > 2 * ToneRate);
    QVERIFY(peakBefore(left, last - 2 * ToneRate - ToneRate / 50) > TonePeak * 98 / 100);
    for (int quarter = 1; quarter <= 3; ++quarter) {
        // A quarter of the fade before its end the level is that share of the peak.
        const qsizetype at = last - quarter * ToneRate / 2;
        const double expected = TonePeak * quarter / 4.0;
        QVERIFY2(std::abs(peakBefore(left, at) - expected) < TonePeak * 0.03,
                 qPrintable(QStringLiteral("%1 s before the end: %2, expected %3")
                                .arg(quarter * 0.5)
                                .arg(peakBefore(left, at))
                                .arg(expected)));
    }
    m_player->stop();
}

// Two tones 20 dB apart, brought to -18 LUFS: each comes out with its gain,
// the quiet one lifted, and nothing reaches full scale.
void TestMediaPlayerDiskOutput::tracksPlayAtEvenLoudness()
{
    const QString loud = m_tones.filePath(QStringLiteral("loud.wav"));
    const QString quiet = m_tones.filePath(QStringLiteral("quiet.wav"));
    QVERIFY(writeToneWav(loud, 3.0, 1000.0, 32768.0 * std::pow(10.0, -6.0 / 20.0)));
    QVERIFY(writeToneWav(quiet, 3.0, 1000.0, 32768.0 * std::pow(10.0, -26.0 / 20.0)));
    audio::LoudnessLevels levels(-18.0, m_tones.filePath(QStringLiteral("loudness.tsv")));
    m_player->setLoudness([&levels](const QString &path) { return levels.gainFor(path); },
                          [&levels](const QStringList &paths) { levels.expect(paths); });
    m_player->expectTracks({loud, quiet});
    QVERIFY(levels.waitUntilIdle(20000));

    QList<double> peaks;
    for (const QString &track : {loud, quiet}) {
        const qsizetype before = m_disk.output().size();
        m_player->setFileName(track);
        QTRY_VERIFY_WITH_TIMEOUT(m_player->playedFrames() > ToneRate, 3000);
        m_player->stop();
        QTest::qWait(200);
        const std::vector<int> left = leftSamples(m_disk.output().mid(before));
        const int peak = peakBefore(left, lastSounding(left) - 400);
        QVERIFY(peak < 32767);
        peaks << 20.0 * std::log10(peak / 32768.0);
    }
    m_player->setLoudness({}, {});
    // A stereo 1 kHz sine measures its peak level in LUFS: both at -18.
    QVERIFY2(std::abs(peaks[0] - peaks[1]) < 2.0,
             qPrintable(QStringLiteral("%1 dB and %2 dB").arg(peaks[0]).arg(peaks[1])));
    QVERIFY2(std::abs(peaks[0] + 18.0) < 1.0, qPrintable(QString::number(peaks[0])));
}

// The program quits while a track plays: the player's end ramps it down too.
void TestMediaPlayerDiskOutput::playerGoingWhilePlayingEndsSmoothly()
{
    const QString tone = m_tones.filePath(QStringLiteral("tone.wav"));
    QVERIFY(writeToneWav(tone, 2.0, 440.0, TonePeak));
    const qsizetype before = m_disk.output().size();
    m_player->setFileName(tone);
    QTRY_VERIFY_WITH_TIMEOUT(m_player->playedFrames() > ToneRate / 4, 3000);
    m_player.reset();
    const std::vector<int> left = leftSamples(m_disk.output().mid(before));
    const qsizetype last = lastSounding(left);
    QVERIFY(last > ToneRate / 4);
    int largestStep = last + 1 < qsizetype(left.size()) ? std::abs(left[size_t(last)]) : TonePeak;
    for (qsizetype k = last - 300; k < last; ++k)
        largestStep = std::max(largestStep, std::abs(left[size_t(k + 1)] - left[size_t(k)]));
    QVERIFY2(largestStep <= TonePeak / 10, qPrintable(QString::number(largestStep)));
    m_player = std::make_unique<audio::TrackPlayer>(*m_audio);
}

QTEST_GUILESS_MAIN(TestMediaPlayerDiskOutput)
#include "tst_MediaPlayerDiskOutput.moc"
