#pragma once

#include "Result.h"

#include <QString>

#include <memory>

namespace audio {

class PcmSource;

// Opens an audio file as a decoded track of exact length: RIFF/WAVE through
// SDL's loader, everything else as MPEG audio. Other formats, damaged files,
// files that are not audio and anything but a regular file fail with a
// reason, without blocking; nothing throws.
class AudioFileLoader
{
  public:
    [[nodiscard]] static Result<std::unique_ptr<PcmSource>> load(const QString &path);
};

} // namespace audio
