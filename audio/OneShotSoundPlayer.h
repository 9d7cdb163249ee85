#pragma once

#include "OutputDevice.h"
#include "SoundPlayer.h"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace audio {

class AudioSystem;
class BufferedFileReader;

// Plays WAV files in the background, one at a time: a new sound replaces the
// one playing. A worker thread opens an output device, queues the sound and
// closes the device once the sound has played, so that the program's exit
// normally finds no device to wait for. The worker never holds the process
// up: a program may end with _Exit() while a sound plays. The system must
// outlive the player.
class OneShotSoundPlayer final : public SoundPlayer
{
  public:
    explicit OneShotSoundPlayer(AudioSystem &system);
    // Stops the sound, closes the device and joins the worker.
    ~OneShotSoundPlayer() override;
    OneShotSoundPlayer(const OneShotSoundPlayer &) = delete;
    OneShotSoundPlayer &operator=(const OneShotSoundPlayer &) = delete;

    // Opens the file at once (a missing, unreadable or non-WAV file, and
    // anything but a regular file, is silent and returns false without
    // blocking); decoding and the device work happen on the worker thread, so
    // SDL is loaded there. A WAV that cannot be decoded is silent.
    [[nodiscard]] bool playSoundAsync(const QString &path) override;

    // Whether a sound is queued or still being played (for tests).
    [[nodiscard]] bool isBusy() const;

  private:
    struct Sound
    {
        std::vector<int16_t> samples;
        int sampleRate = 0;
        int channels = 0;
        QString name; // the stream's in a sound server's mixer
    };

    void run();
    // Worker thread only.
    [[nodiscard]] static std::optional<Sound> decode(BufferedFileReader &file);
    void play(const Sound &sound);

    AudioSystem &m_system;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::unique_ptr<BufferedFileReader> m_pending;
    QString m_pendingName;
    bool m_quit = false;
    bool m_active = false; // a sound is being started or played; under m_mutex
    // Owned by the worker thread.
    std::optional<OutputDevice> m_device;
    std::thread m_worker;
};

} // namespace audio
