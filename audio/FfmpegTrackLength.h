#pragma once

#include "Result.h"

#include <cstdint>

namespace audio {

class BufferedFileReader;
class FfmpegDecoder;

// The length of a track FFmpeg decodes, in frames at the rate its decoder
// delivers, as FFmpeg's demuxer states it: the stream's duration less the
// initial padding the decoder drops (Opus's pre-skip), else the container's
// duration. Counted only where FFmpeg states none or is known to guess: ADTS
// AAC from its frame headers, Matroska and WebM without a duration from the
// demuxer's own packets.
//
// Before that, the cheap checks that the file's structure fits its size
// (WAV's and AIFF's chunks, MP4's boxes, ASF's objects, the Matroska segment,
// Ogg's last page): a file cut short fails there. A file damaged elsewhere
// loads and ends where its decode breaks.
class FfmpegTrackLength
{
  public:
    enum class Method { Stated, Packets };
    struct Measured
    {
        int64_t frames = 0;
        Method method = Method::Stated;
    };

    // playback: the decoder that will play the track, opened on the same
    // file; rate: the rate its frames come at. Opens a demuxer of its own
    // where it counts packets; leaves playback where it was.
    [[nodiscard]] static Result<Measured> measure(BufferedFileReader &file,
                                                  const FfmpegDecoder &playback, int rate);
};

} // namespace audio
