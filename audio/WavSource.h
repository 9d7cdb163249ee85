#pragma once

#include "PcmSource.h"
#include "Result.h"

#include <QString>

#include <memory>
#include <vector>

namespace audio {

class BufferedFileReader;

// A RIFF/WAVE file read whole when opened, decoded by SDL's loader and held
// in memory.
class WavSource final : public PcmSource
{
  public:
    // Whether the file starts like a RIFF/WAVE file.
    [[nodiscard]] static bool looksLikeWav(BufferedFileReader &file);
    // Fails when the file cannot be read up to the size it had when opened,
    // when SDL cannot read it or when it holds no sample. Reads no more than
    // that size.
    [[nodiscard]] static Result<std::unique_ptr<WavSource>> open(BufferedFileReader &file);

    [[nodiscard]] int sampleRate() const override { return m_sampleRate; }
    [[nodiscard]] int channels() const override { return m_channels; }
    [[nodiscard]] int64_t frameCount() const override { return m_frameCount; }
    [[nodiscard]] int64_t read(int16_t *out, int64_t maxFrames) override;

  private:
    WavSource() = default;

    std::vector<int16_t> m_samples;
    int m_sampleRate = 0;
    int m_channels = 0;
    int64_t m_frameCount = 0;
    int64_t m_delivered = 0;
};

} // namespace audio
