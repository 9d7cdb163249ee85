#include "PendingDevice.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace audio {

struct PendingDevice::State
{
    std::mutex mutex;
    std::condition_variable done;
    std::optional<Result<OutputDevice>> result;
    bool finished = false;
    bool abandoned = false;
};

PendingDevice::PendingDevice(AudioSystem &system, int sampleRate, int channels, int bufferFrames,
                             OutputDevice::Callback callback, void *userData,
                             const QString &streamName, OutputDevice::Fallback fallback)
    : m_state(std::make_shared<State>()), m_deadline(std::chrono::steady_clock::now() + Patience),
      m_sampleRate(sampleRate), m_channels(channels)
{
    auto open = [state = m_state, &system, sampleRate, channels, bufferFrames, callback, userData,
                 streamName, fallback] {
        Result<OutputDevice> opened = OutputDevice::open(system, sampleRate, channels, bufferFrames,
                                                         callback, userData, streamName, fallback);
        std::unique_lock lock(state->mutex);
        if (state->abandoned) {
            lock.unlock();
            return; // the device, paused, closes here
        }
        state->result.emplace(std::move(opened));
        state->finished = true;
        state->done.notify_all();
    };
    try {
        std::thread(open).detach();
    } catch (const std::system_error &) {
        open(); // no thread to spare: opened here
    }
}

// Waits as take() does, so that a device opened in time is closed before
// this returns (SDL's silent drivers open one device at a time).
PendingDevice::~PendingDevice()
{
    std::optional<Result<OutputDevice>> result = take();
    const std::lock_guard lock(m_state->mutex);
    m_state->abandoned = true;
}

std::optional<Result<OutputDevice>> PendingDevice::take()
{
    std::unique_lock lock(m_state->mutex);
    m_state->done.wait_until(lock, m_deadline, [this] { return m_state->finished; });
    std::optional<Result<OutputDevice>> result = std::move(m_state->result);
    m_state->result.reset();
    return result;
}

} // namespace audio
