#pragma once

#include "Result.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace audio {

class PcmSource;

// Opens an audio file as a decoded track of known length (see PcmSource), by
// its content: RIFF/WAVE and every audio format FFmpeg recognises through
// FFmpeg, except MPEG audio, which goes to libmpg123 (exact) like anything
// FFmpeg does not recognise.
// Both read the file as they play, never whole. Files whose structure does
// not fit their size, files that are not audio and anything but a regular
// file fail with a reason, without blocking; nothing throws.
class AudioFileLoader
{
  public:
    [[nodiscard]] static Result<std::unique_ptr<PcmSource>> load(const QString &path);
    // File name patterns of the formats that play, for a file dialog: "*.mp3"
    // first, then every other extension ("*.flac", ...), lower case. The
    // content decides what a file is; the name decides nothing.
    [[nodiscard]] static QStringList fileNamePatterns();
};

} // namespace audio
