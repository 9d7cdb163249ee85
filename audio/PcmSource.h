#pragma once

#include <cstdint>

namespace audio {

// A decoded track: interleaved signed 16-bit native-endian frames at a fixed
// rate and channel count.
class PcmSource
{
  public:
    virtual ~PcmSource() = default;

    [[nodiscard]] virtual int sampleRate() const = 0;
    [[nodiscard]] virtual int channels() const = 0;
    // The stated length in frames: the best known before decoding. Exact
    // where a source says so (Mp3Source, WavSource).
    [[nodiscard]] virtual int64_t frameCount() const = 0;
    // Writes up to maxFrames frames to out. Returns the frames written: 0 at
    // the end of the track, -1 when the data cannot be decoded any further.
    // Delivers every frame the decoder yields, less the delay and padding the
    // container records, which may be a little more or fewer than
    // frameCount(): nothing is padded with silence or dropped past it.
    [[nodiscard]] virtual int64_t read(int16_t *out, int64_t maxFrames) = 0;
};

} // namespace audio
