#pragma once

#include <cstdint>

namespace audio {

// A decoded track: interleaved signed 16-bit native-endian frames at a fixed
// rate and channel count, of an exact, known length.
class PcmSource
{
  public:
    virtual ~PcmSource() = default;

    [[nodiscard]] virtual int sampleRate() const = 0;
    [[nodiscard]] virtual int channels() const = 0;
    // Exact number of frames read() delivers from the start; never more.
    [[nodiscard]] virtual int64_t frameCount() const = 0;
    // Writes up to maxFrames frames to out. Returns the frames written: 0 at
    // the end of the track, -1 when the data cannot be decoded any further.
    [[nodiscard]] virtual int64_t read(int16_t *out, int64_t maxFrames) = 0;
};

} // namespace audio
