#pragma once

#include "AsfPayloads.h"
#include "Result.h"

#include <cstdint>
#include <span>

namespace audio {

// What FFmpeg's decoder of WMA versions 1 and 2 yields for a stream with the
// bit reservoir, from the headers of its superframes alone. Each block of
// block_align bytes is a superframe: 4 bits of index, 4 bits counting the
// frames that start in it, then the offset (in bits) at which the first of
// them starts, after the end of a frame begun in the superframe before. The
// decoder holds the last frame that starts in a superframe back until the
// next one completes it, so that a superframe yields as many frames as it
// counts, the first one less (nothing held back yet); the end of the stream
// yields one more, and the first two frames' worth of samples are dropped.
class WmaSuperframes
{
  public:
    struct Format
    {
        // 1 or 2.
        int version = 2;
        int sampleRate = 0;
        int channels = 0;
        // Bits per second, as the stream's header states it.
        int64_t bitRate = 0;
        int64_t blockBytes = 0;
    };

    // The samples of one frame, as the decoder derives it from the rate.
    [[nodiscard]] static int frameLength(int version, int sampleRate);

    // The samples a fresh decoder yields for these blocks, in stream order,
    // sent to it one after another, then the end of the stream. Fails where
    // the headers show that the decoder fails or counts otherwise than they
    // say (a superframe whose frames it holds back whole, an offset past the
    // superframe), and where the media objects' presentation times (from the
    // second object on) contradict the frames counted between them by more
    // than a quarter of a frame.
    [[nodiscard]] static Result<int64_t> decodedFrames(std::span<const AsfPayloads::Block> blocks,
                                                       const Format &format);
};

} // namespace audio
