#pragma once

#include <QString>

#include <cstdint>
#include <mutex>

namespace audio {

// SDL's audio subsystem, initialised once per process and shut down at exit.
//
// SDL's own signal handlers are disabled before initialising, so that SIGTERM
// and SIGINT keep ending the program. When no driver was chosen through
// SDL_AUDIODRIVER and the first device cannot be opened (no sound server, no
// sound card), the subsystem switches to SDL's "dummy" driver, which consumes
// samples in real time without a sound card.
class AudioSystem
{
  public:
    // Called on SDL's audio thread with the output buffer to fill completely.
    using Callback = void (*)(void *userData, uint8_t *stream, int length);

    static AudioSystem &instance();

    AudioSystem(const AudioSystem &) = delete;
    AudioSystem &operator=(const AudioSystem &) = delete;

    // Opens a paused output device taking signed 16-bit native-endian frames at
    // exactly this rate and channel count (SDL converts for the hardware).
    // bufferFrames is the size of one callback request. Returns 0 and sets
    // *error on failure.
    [[nodiscard]] uint32_t openDevice(int sampleRate, int channels, int bufferFrames,
                                      Callback callback, void *userData, QString *error);
    // Closes a device from openDevice(); blocks for about two buffer periods.
    void closeDevice(uint32_t device);

    [[nodiscard]] QString driverName() const;

  private:
    AudioSystem();
    ~AudioSystem();

    [[nodiscard]] bool switchToDummyDriver();

    mutable std::mutex m_mutex;
    bool m_initialised = false;
    int m_openDevices = 0;
};

} // namespace audio
