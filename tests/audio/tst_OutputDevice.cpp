#include "AudioSystem.h"
#include "OutputDevice.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs on SDL's dummy driver, which asks for one buffer per buffer period.
class TestOutputDevice : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void callbackRequestsWholeBuffers_data();
    void callbackRequestsWholeBuffers();
    void pausedDeviceCallsNothing();
    void lockHoldsTheCallback();
    void reopensInSequence();
    void movedDeviceStaysOpen();
    void queueHoldsWhatWasQueued();

  private:
    struct Calls
    {
        std::atomic<int> count{0};
        std::atomic<int> lastLength{0};
    };
    static void count(void *userData, uint8_t *stream, int length);
    [[nodiscard]] static Result<audio::OutputDevice>
    openCounting(audio::AudioSystem &system, Calls &calls, int sampleRate, int channels);

    audio::AudioSystem m_audio;
};

void TestOutputDevice::count(void *userData, uint8_t *stream, int length)
{
    auto *calls = static_cast<Calls *>(userData);
    std::memset(stream, 0, static_cast<std::size_t>(length));
    calls->lastLength.store(length);
    calls->count.fetch_add(1);
}

Result<audio::OutputDevice> TestOutputDevice::openCounting(audio::AudioSystem &system, Calls &calls,
                                                           int sampleRate, int channels)
{
    return audio::OutputDevice::open(system, sampleRate, channels, 512, &TestOutputDevice::count,
                                     &calls);
}

void TestOutputDevice::initTestCase()
{
    QCOMPARE(m_audio.driverName(), QStringLiteral("dummy"));
}

void TestOutputDevice::callbackRequestsWholeBuffers_data()
{
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("bytes");
    // 512 frames of 16-bit samples.
    QTest::newRow("44.1 kHz stereo") << 44100 << 2 << 2048;
    QTest::newRow("22.05 kHz mono") << 22050 << 1 << 1024;
    QTest::newRow("48 kHz 6 channels") << 48000 << 6 << 6144;
}

void TestOutputDevice::callbackRequestsWholeBuffers()
{
    QFETCH(int, sampleRate);
    QFETCH(int, channels);
    QFETCH(int, bytes);
    Calls calls;
    Result<audio::OutputDevice> device = openCounting(m_audio, calls, sampleRate, channels);
    QVERIFY2(device, qPrintable(device.error()));
    QCOMPARE(device->sampleRate(), sampleRate);
    QCOMPARE(device->channels(), channels);
    device->resume();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > 0, 2000);
    QCOMPARE(calls.lastLength.load(), bytes);
}

void TestOutputDevice::pausedDeviceCallsNothing()
{
    Calls calls;
    Result<audio::OutputDevice> device = openCounting(m_audio, calls, 44100, 2);
    QVERIFY2(device, qPrintable(device.error()));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(calls.count.load(), 0);
    device->resume();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > 0, 2000);
    device->pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const int paused = calls.count.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(calls.count.load(), paused);
}

void TestOutputDevice::lockHoldsTheCallback()
{
    Calls calls;
    Result<audio::OutputDevice> device = openCounting(m_audio, calls, 44100, 2);
    QVERIFY2(device, qPrintable(device.error()));
    device->resume();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > 0, 2000);
    {
        const std::lock_guard lock(device.value());
        const int locked = calls.count.load();
        // Ten buffer periods.
        std::this_thread::sleep_for(std::chrono::milliseconds(120));
        QCOMPARE(calls.count.load(), locked);
    }
    const int unlocked = calls.count.load();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > unlocked, 2000);
}

// Each device is closed when it goes, so that the next opens, at another
// format. (The dummy driver has one device; it refuses a second while one is
// open.)
void TestOutputDevice::reopensInSequence()
{
    Calls first;
    {
        Result<audio::OutputDevice> device = openCounting(m_audio, first, 44100, 2);
        QVERIFY2(device, qPrintable(device.error()));
        device->resume();
        QTRY_VERIFY_WITH_TIMEOUT(first.count.load() > 0, 2000);
    }
    const int closedAt = first.count.load();

    Calls second;
    {
        Result<audio::OutputDevice> device = openCounting(m_audio, second, 22050, 1);
        QVERIFY2(device, qPrintable(device.error()));
        device->resume();
        QTRY_VERIFY_WITH_TIMEOUT(second.count.load() > 2, 2000);
        QCOMPARE(second.lastLength.load(), 1024);
    }
    Calls third;
    Result<audio::OutputDevice> device = openCounting(m_audio, third, 48000, 2);
    QVERIFY2(device, qPrintable(device.error()));
    device->resume();
    QTRY_VERIFY_WITH_TIMEOUT(third.count.load() > 2, 2000);
    QCOMPARE(third.lastLength.load(), 2048);
    QCOMPARE(first.count.load(), closedAt);
}

// A device moved to a new owner stays open and keeps its callback; the owner
// it left closes nothing when it goes.
void TestOutputDevice::movedDeviceStaysOpen()
{
    Calls calls;
    Result<audio::OutputDevice> opened = openCounting(m_audio, calls, 44100, 2);
    QVERIFY2(opened, qPrintable(opened.error()));
    std::optional<audio::OutputDevice> first(std::move(opened).value());
    {
        audio::OutputDevice second(std::move(*first));
        *first = std::move(second);
    }
    first->resume();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > 0, 2000);
    QCOMPARE(first->sampleRate(), 44100);
    QCOMPARE(first->channels(), 2);
    const int before = calls.count.load();
    QTRY_VERIFY_WITH_TIMEOUT(calls.count.load() > before, 2000);

    first.reset();
    const int closedAt = calls.count.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    QCOMPARE(calls.count.load(), closedAt);
}

// A queue-fed device holds what was queued while paused and plays it out once
// resumed.
void TestOutputDevice::queueHoldsWhatWasQueued()
{
    Result<audio::OutputDevice> device = audio::OutputDevice::open(m_audio, 44100, 2, 512);
    QVERIFY2(device, qPrintable(device.error()));
    // A tenth of a second: 4410 stereo frames of 16 bits.
    const std::vector<int16_t> samples(4410 * 2, 1000);
    QVERIFY(device->queue(samples.data(), 4410 * 4));
    QCOMPARE(device->queuedBytes(), 17640u);
    QVERIFY(device->queue(samples.data(), 4410 * 4));
    QCOMPARE(device->queuedBytes(), 35280u);
    device->clearQueue();
    QCOMPARE(device->queuedBytes(), 0u);
    QVERIFY(device->queue(samples.data(), 4410 * 4));
    device->resume();
    QTRY_COMPARE_WITH_TIMEOUT(device->queuedBytes(), 0u, 2000);
}

QTEST_GUILESS_MAIN(TestOutputDevice)
#include "tst_OutputDevice.moc"
