#pragma once

#include "SoundPlayer.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace audio {

// Plays WAV files in the background through SDL, one at a time: a new sound
// replaces the one playing. A worker thread opens the device, feeds it and
// closes it once the sound has played, so that the program's exit normally
// finds no device to wait for.
class OneShotSoundPlayer final : public SoundPlayer
{
  public:
    OneShotSoundPlayer();
    ~OneShotSoundPlayer() override;
    OneShotSoundPlayer(const OneShotSoundPlayer &) = delete;
    OneShotSoundPlayer &operator=(const OneShotSoundPlayer &) = delete;

    // Reads the file at once (a missing, unreadable or non-WAV file, and
    // anything but a regular file, is silent and returns false without
    // blocking); the device work happens on the worker thread.
    bool playSoundAsync(const QString &path) override;

    // Whether a sound is queued or still being played (for tests).
    [[nodiscard]] bool isBusy() const;

  private:
    struct Sound
    {
        std::vector<int16_t> samples;
        int sampleRate = 0;
        int channels = 0;
    };

    void run();
    void play(const Sound &sound);
    void closeDevice();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::optional<Sound> m_pending;
    bool m_quit = false;
    // Owned by the worker thread.
    uint32_t m_device = 0;
    int m_deviceRate = 0;
    int m_deviceChannels = 0;
    bool m_active = false; // a sound is being started or played; under m_mutex
    std::thread m_worker;
};

} // namespace audio
