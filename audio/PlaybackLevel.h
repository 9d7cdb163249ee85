#pragma once

#include <cstdint>

namespace audio {

// The level a track is played at, applied to interleaved 16-bit frames on the
// audio thread: a constant gain (loudness), and an envelope that is 1 until a
// ramp to silence starts: a short one for every stop, a long one for a fade.
// A ramp falls linearly from the envelope's level at its start to 0. Plain
// data: no allocation, no lock, copyable.
class PlaybackLevel
{
  public:
    // Length of the ramp a stop plays, in seconds.
    static constexpr double StopRampSeconds = 0.005;

    // Full level (envelope 1, gain 1) at this rate and channel count.
    explicit PlaybackLevel(int sampleRate = 44100, int channels = 2);

    // Back to full level, gain 1.
    void reset(int sampleRate, int channels);
    // Linear factor on every sample; the product is rounded and clipped to
    // the 16-bit range. 1 leaves the samples untouched.
    void setGain(double factor);
    [[nodiscard]] double gain() const { return m_gain; }

    // Starts a ramp from the present level to 0 over `seconds` (at least one
    // frame). A ramp already running is replaced when the new one ends sooner.
    void startRamp(double seconds);
    void startStopRamp() { startRamp(StopRampSeconds); }

    // Applies the level to `frames` frames in place. Returns how many frames
    // still carry sound: once a ramp has reached 0, the frames after it are
    // set to 0 and are not counted.
    int64_t apply(int16_t *samples, int64_t frames);

    [[nodiscard]] bool isRamping() const { return m_rampLeft > 0; }
    // A ramp has played to its end: everything from now on is silence.
    [[nodiscard]] bool isSilent() const { return m_silent; }
    // The envelope now, 0..1.
    [[nodiscard]] double envelope() const { return m_envelope; }
    [[nodiscard]] int sampleRate() const { return m_sampleRate; }

  private:
    int m_sampleRate;
    int m_channels;
    double m_gain = 1.0;
    double m_envelope = 1.0;
    // Fall of the envelope per frame while a ramp runs.
    double m_step = 0.0;
    int64_t m_rampLeft = 0;
    bool m_silent = false;
};

} // namespace audio
