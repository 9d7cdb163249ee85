#pragma once

#include "FfmpegFormats.h"

namespace audio {

// FfmpegFormats over the FFmpeg classes of this library.
class LinkedFfmpegFormats final : public FfmpegFormats
{
  public:
    [[nodiscard]] bool handles(BufferedFileReader &file) const override;
    [[nodiscard]] Result<std::unique_ptr<PcmSource>>
    open(std::unique_ptr<BufferedFileReader> file) const override;
    [[nodiscard]] Probe probe(BufferedFileReader &file) const override;
};

} // namespace audio
