#pragma once

#include "Result.h"

#include <cstdint>
#include <vector>

namespace audio {

class BufferedFileReader;

// The payload bytes one stream of an ASF file (WMA, WMV) carries, from a walk
// over the headers of its data packets alone: the count FFmpeg's ASF demuxer
// hands out as packets for that stream, without reading every packet through
// it.
class AsfPayloads
{
  public:
    // Bytes of the file.
    struct Range
    {
        int64_t offset = 0;
        int64_t bytes = 0;
    };

    struct Stream
    {
        // Every payload byte of the stream, over all packets.
        int64_t bytes = 0;
        // Where its last tailBytes bytes lie (all of them if it has fewer), in
        // stream order: one range per payload or sub-payload that holds
        // bytes, the first one cut to start at the right byte.
        std::vector<Range> tail;
    };

    // Walks every data packet of the file and adds up the payload bytes of
    // the stream numbered streamNumber (1 to 127, as the file numbers it; the
    // AVStream::id FFmpeg's ASF demuxer gives it). tailBytes >= 0.
    //
    // Strict: fails for anything that would make the demuxer's packets differ
    // from what the walk counts (packets of varying size, a field or payload
    // outside its packet, a packet cut short, fragments out of order, an
    // object left incomplete, a packet count the data object contradicts),
    // so that the caller can fall back to the demuxer.
    [[nodiscard]] static Result<Stream> walk(BufferedFileReader &file, int streamNumber,
                                             int64_t tailBytes);
};

} // namespace audio
