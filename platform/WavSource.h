#pragma once

#include "PcmSource.h"

#include <QString>

#include <memory>
#include <vector>

class MappedFile;

// A RIFF/WAVE file read by SDL's loader, held decoded in memory.
class WavSource final : public PcmSource
{
  public:
    // Whether the bytes start like a RIFF/WAVE file.
    [[nodiscard]] static bool looksLikeWav(const MappedFile &file);
    // Null (and *error set) when SDL cannot read it or it holds no sample.
    [[nodiscard]] static std::unique_ptr<WavSource> open(const MappedFile &file, QString *error);

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
