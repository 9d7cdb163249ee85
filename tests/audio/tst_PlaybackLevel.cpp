#include "PlaybackLevel.h"

#include <QtTest>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

// The level stage on its own: gains by hand-worked values, the ramps by the
// shape a linear fall to zero must have whatever the buffers' sizes.
class TestPlaybackLevel : public QObject
{
    Q_OBJECT

  private slots:
    void gainRoundsAndClips_data();
    void gainRoundsAndClips();
    void stopRampFallsToZeroIn5ms_data();
    void stopRampFallsToZeroIn5ms();
    void rampDoesNotDependOnBufferSizes();
    void fadeHalvesHalfWay();
    void stopDuringFadeStartsFromTheFadedLevel();
    void longerRampDoesNotSlowARunningOne();
};

void TestPlaybackLevel::gainRoundsAndClips_data()
{
    QTest::addColumn<double>("gain");
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("half") << 0.5 << 1000 << 500;
    QTest::newRow("half of 3, tie to even") << 0.5 << 3 << 2;
    QTest::newRow("half of 5, tie to even") << 0.5 << 5 << 2;
    QTest::newRow("half of -3") << 0.5 << -3 << -2;
    // -6 dB is 10^(-6/20) = 0.501187.
    QTest::newRow("-6 dB of 10000") << std::pow(10.0, -6.0 / 20.0) << 10000 << 5012;
    QTest::newRow("double clips high") << 2.0 << 20000 << 32767;
    QTest::newRow("double clips low") << 2.0 << -20000 << -32768;
    QTest::newRow("+3 dB of -32768 clips") << 1.4125 << -32768 << -32768;
    QTest::newRow("zero") << 0.0 << 12345 << 0;
}

void TestPlaybackLevel::gainRoundsAndClips()
{
    QFETCH(double, gain);
    QFETCH(int, in);
    QFETCH(int, out);
    audio::PlaybackLevel level(44100, 2);
    level.setGain(gain);
    std::vector<int16_t> samples(2, static_cast<int16_t>(in));
    QCOMPARE(level.apply(samples.data(), 1), 1);
    QCOMPARE(int(samples[0]), out);
    QCOMPARE(int(samples[1]), out);
}

void TestPlaybackLevel::stopRampFallsToZeroIn5ms_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("rampFrames");
    // 5 ms: 220.5 frames at 44.1 kHz, rounded away from zero; 240 at 48 kHz.
    QTest::newRow("44.1 kHz") << 44100 << 221;
    QTest::newRow("48 kHz") << 48000 << 240;
    QTest::newRow("8 kHz") << 8000 << 40;
}

// A constant input shows the envelope: frame k (from 1) of an n-frame ramp is
// at 1 - k/n, the last one at 0, and nothing sounds after it.
void TestPlaybackLevel::stopRampFallsToZeroIn5ms()
{
    QFETCH(int, rate);
    QFETCH(int, rampFrames);
    constexpr int16_t input = 20000;
    audio::PlaybackLevel level(rate, 1);
    level.startStopRamp();
    QVERIFY(level.isRamping());
    std::vector<int16_t> samples(static_cast<size_t>(rampFrames) + 50, input);
    QCOMPARE(level.apply(samples.data(), static_cast<int64_t>(samples.size())), rampFrames);
    for (int k = 1; k <= rampFrames; ++k) {
        const double expected = input * (1.0 - double(k) / rampFrames);
        QVERIFY2(std::abs(samples[size_t(k - 1)] - expected) <= 1.0,
                 qPrintable(QStringLiteral("frame %1: %2, expected %3")
                                .arg(k)
                                .arg(samples[size_t(k - 1)])
                                .arg(expected)));
    }
    for (size_t k = size_t(rampFrames); k < samples.size(); ++k)
        QCOMPARE(samples[k], int16_t(0));
    QVERIFY(level.isSilent());
    std::vector<int16_t> after(64, input);
    QCOMPARE(level.apply(after.data(), 64), 0);
    QVERIFY(std::all_of(after.begin(), after.end(), [](int16_t s) { return s == 0; }));
}

// Whatever sizes the device asks for, the same frames come out.
void TestPlaybackLevel::rampDoesNotDependOnBufferSizes()
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> sample(-32768, 32767);
    std::uniform_int_distribution<int> chunk(1, 700);
    std::vector<int16_t> input(2 * 6000);
    for (int16_t &s : input)
        s = static_cast<int16_t>(sample(random));

    std::vector<int16_t> whole = input;
    audio::PlaybackLevel one(44100, 2);
    one.setGain(0.8);
    one.startRamp(0.1);
    const int64_t sounding = one.apply(whole.data(), 6000);
    QCOMPARE(sounding, 4410);

    for (int round = 0; round < 20; ++round) {
        std::vector<int16_t> pieces = input;
        audio::PlaybackLevel level(44100, 2);
        level.setGain(0.8);
        level.startRamp(0.1);
        int64_t done = 0;
        int64_t total = 0;
        while (done < 6000) {
            const int64_t n = std::min<int64_t>(chunk(random), 6000 - done);
            total += level.apply(pieces.data() + done * 2, n);
            done += n;
        }
        QCOMPARE(total, sounding);
        QVERIFY(pieces == whole);
    }
}

void TestPlaybackLevel::fadeHalvesHalfWay()
{
    audio::PlaybackLevel level(44100, 1);
    level.startRamp(2.0);
    std::vector<int16_t> samples(44100, 30000);
    QCOMPARE(level.apply(samples.data(), 44100), 44100);
    // After 44100 of 88200 frames: 30000 * 0.5.
    QVERIFY(std::abs(samples.back() - 15000) <= 1);
    QVERIFY(std::abs(level.envelope() - 0.5) < 1e-9);
    QVERIFY(!level.isSilent());
    std::vector<int16_t> rest(50000, 30000);
    QCOMPARE(level.apply(rest.data(), 50000), 44100);
    QCOMPARE(rest[44099], int16_t(0));
    QVERIFY(level.isSilent());
}

// A click during a fade: the 5 ms ramp starts at the level the fade got to.
void TestPlaybackLevel::stopDuringFadeStartsFromTheFadedLevel()
{
    audio::PlaybackLevel level(44100, 1);
    level.startRamp(2.0);
    std::vector<int16_t> samples(22050, 20000);
    static_cast<void>(level.apply(samples.data(), 22050));
    // A quarter of the way: 0.75 of 20000.
    QVERIFY(std::abs(samples.back() - 15000) <= 1);
    level.startStopRamp();
    std::vector<int16_t> ramp(300, 20000);
    QCOMPARE(level.apply(ramp.data(), 300), 221);
    QVERIFY(std::abs(ramp[0] - 15000 * (1.0 - 1.0 / 221)) <= 1.0);
    QVERIFY(std::abs(ramp[109] - 15000 * (1.0 - 110.0 / 221)) <= 1.0);
    QCOMPARE(ramp[220], int16_t(0));
}

void TestPlaybackLevel::longerRampDoesNotSlowARunningOne()
{
    audio::PlaybackLevel level(44100, 1);
    level.startStopRamp();
    level.startRamp(2.0);
    std::vector<int16_t> samples(400, 1000);
    QCOMPARE(level.apply(samples.data(), 400), 221);
}

QTEST_GUILESS_MAIN(TestPlaybackLevel)
#include "tst_PlaybackLevel.moc"
