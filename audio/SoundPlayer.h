#pragma once

#include <QString>

namespace audio {

// Fire-and-forget sound for short notification chimes.
class SoundPlayer
{
  public:
    virtual ~SoundPlayer() = default;

    // Returns at once; the sound plays in the background. A missing or
    // unplayable file is silent (no fallback sound). Returns whether it started.
    [[nodiscard]] virtual bool playSoundAsync(const QString &path) = 0;
};

} // namespace audio
