// ffmpegFormats() for programs that link FFmpeg's libraries (tests, tools).
#include "LinkedFfmpegFormats.h"

namespace audio {

const FfmpegFormats *ffmpegFormats(QString *)
{
    static const LinkedFfmpegFormats formats;
    return &formats;
}

} // namespace audio
