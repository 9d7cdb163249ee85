#pragma once

#include "Result.h"

#include <QString>

#include <cstdint>

namespace audio {

class AudioSystem;

// One open SDL output device taking signed 16-bit native-endian frames at
// exactly its rate and channel count (SDL converts for the hardware). Opened
// paused; closed by the destructor, which blocks for about two buffer
// periods. Movable, not copyable; a moved-from device is closed.
//
// Fed one of two ways, chosen when opened: a callback that SDL calls on its
// audio thread to fill each buffer, or samples queued with queue().
//
// A device can be lost under the program (its sound server ended or
// restarted, the card was unplugged): it then stays open but takes no more
// samples; isLost() tells, and only a newly opened device plays again.
class OutputDevice
{
  public:
    // Whether open() may settle for SDL's silent "dummy" driver when no real
    // device can be had (see AudioSystem).
    enum class Fallback { Allowed, RealOnly };

    // Called on SDL's audio thread, with the device lock held, with the output
    // buffer to fill completely (length in bytes).
    using Callback = void (*)(void *userData, uint8_t *stream, int length);

    // Any thread. bufferFrames is the size of one request to the callback
    // (or of one transfer from the queue). A null callback feeds the device
    // from the queue. The stream name is what a sound server's mixer shows
    // for this device (empty: SDL's default).
    [[nodiscard]] static Result<OutputDevice>
    open(AudioSystem &system, int sampleRate, int channels, int bufferFrames,
         Callback callback = nullptr, void *userData = nullptr, const QString &streamName = {},
         Fallback fallback = Fallback::Allowed);

    ~OutputDevice();
    OutputDevice(OutputDevice &&other) noexcept;
    OutputDevice &operator=(OutputDevice &&other) noexcept;
    OutputDevice(const OutputDevice &) = delete;
    OutputDevice &operator=(const OutputDevice &) = delete;

    [[nodiscard]] int sampleRate() const { return m_sampleRate; }
    [[nodiscard]] int channels() const { return m_channels; }
    [[nodiscard]] const QString &streamName() const { return m_streamName; }
    // SDL's driver the device plays through ("pulseaudio", "dummy", ...).
    [[nodiscard]] const QString &driverName() const { return m_driver; }
    // On SDL's silent drivers ("dummy", "disk"), which show no stream names.
    [[nodiscard]] bool isSilent() const;

    // Whether SDL has given the device up (a closed device is not lost). Any
    // thread; cheap enough to ask a few times a second.
    [[nodiscard]] bool isLost() const;

    // A paused device plays silence and calls no callback.
    void pause();
    void resume();

    // While locked, the callback does not run; once lock() returns, a call in
    // progress has finished. Not recursive. Usable with std::lock_guard.
    void lock();
    void unlock();

    // Queue-fed devices only: appends bytes of whole frames to what is left
    // to play; drops what is queued; how many bytes are still queued.
    [[nodiscard]] Result<void> queue(const void *data, uint32_t bytes);
    void clearQueue();
    [[nodiscard]] uint32_t queuedBytes() const;

  private:
    OutputDevice(AudioSystem &system, uint32_t id, int sampleRate, int channels, QString streamName,
                 QString driver);
    void close();

    AudioSystem *m_system = nullptr;
    uint32_t m_id = 0; // 0 once closed
    int m_sampleRate = 0;
    int m_channels = 0;
    QString m_streamName;
    QString m_driver;
};

} // namespace audio
