#pragma once

#include "OutputDevice.h"

#include <chrono>
#include <memory>
#include <optional>

namespace audio {

// An OutputDevice::open() on a thread of its own, which the caller waits for
// only up to a deadline: a sound server that takes the connection and never
// answers keeps SDL's open waiting for the server's client library to give
// up, half a minute, and that wait must not be the window's. The destructor
// waits as take() does and closes what came; a device that opens later is
// closed by its thread.
class PendingDevice
{
  public:
    // How long after the start take() may wait: far longer than any open
    // that a working server or card answers.
    static constexpr std::chrono::milliseconds Patience{1500};

    // Starts the open; OutputDevice::open()'s arguments. The callback must
    // stay valid until take() has returned the device or this object went.
    PendingDevice(AudioSystem &system, int sampleRate, int channels, int bufferFrames,
                  OutputDevice::Callback callback, void *userData, const QString &streamName,
                  OutputDevice::Fallback fallback);
    ~PendingDevice();
    PendingDevice(const PendingDevice &) = delete;
    PendingDevice &operator=(const PendingDevice &) = delete;

    [[nodiscard]] int sampleRate() const { return m_sampleRate; }
    [[nodiscard]] int channels() const { return m_channels; }

    // The open's result, waiting for it until Patience after the start;
    // nullopt while it has not come (call again later).
    [[nodiscard]] std::optional<Result<OutputDevice>> take();

  private:
    struct State;

    std::shared_ptr<State> m_state;
    std::chrono::steady_clock::time_point m_deadline;
    int m_sampleRate;
    int m_channels;
};

} // namespace audio
