#pragma once

#include "Result.h"

#include <QString>

#include <cstdint>
#include <mutex>

namespace audio {

// SDL's audio subsystem: the one place where SDL audio starts and ends. It
// starts with the first device opened, on the opening thread (so a program
// shows its window without waiting for the sound server or card), or with
// driverName(); the destructor ends it.
//
// Create it on the main thread, in main() (tests: in each test program),
// before any player or OutputDevice that uses it, and destroy it after all of
// them. At most one exists at a time.
//
// SDL's own signal handlers are disabled before it starts, so that SIGTERM and
// SIGINT keep ending the program. When no driver was chosen through
// SDL_AUDIODRIVER and the subsystem cannot start, or the first device cannot be
// opened (no sound server, no sound card), it switches to SDL's "dummy"
// driver, which consumes samples in real time without a sound card. Starting
// and that switch happen inside OutputDevice::open(), on the opening thread,
// under the system's lock and only while no device is open.
class AudioSystem
{
  public:
    AudioSystem();
    ~AudioSystem();
    AudioSystem(const AudioSystem &) = delete;
    AudioSystem &operator=(const AudioSystem &) = delete;

    // The driver in use, starting the subsystem if no device has yet; empty
    // when none could start. Any thread.
    [[nodiscard]] QString driverName();

  private:
    friend class OutputDevice;

    // Opens a paused SDL device from any thread; see OutputDevice::open().
    using Callback = void (*)(void *userData, uint8_t *stream, int length);
    [[nodiscard]] Result<uint32_t> openDevice(int sampleRate, int channels, int bufferFrames,
                                              Callback callback, void *userData);
    void closeDevice(uint32_t device);
    [[nodiscard]] bool switchToDummyDriver();
    // Under m_mutex.
    void startOnce();

    std::mutex m_mutex;
    bool m_startTried = false;
    bool m_started = false;
    QString m_startError; // why SDL could not be loaded

    int m_openDevices = 0;
};

} // namespace audio
