#pragma once

#include "Result.h"

#include <array>
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

    // How many of a block's first bytes walkBlocks() reports.
    static constexpr int HeadBytes = 8;

    // The start of one block of the stream.
    struct Block
    {
        std::array<uint8_t, HeadBytes> head{};
        // The presentation time of the media object the block opens, in
        // milliseconds as the file states it; -1 where it opens none.
        int64_t objectTime = -1;
    };

    struct Stream
    {
        // Every payload byte of the stream, over all packets.
        int64_t bytes = 0;
        // Where its last tailBytes bytes lie (all of them if it has fewer), in
        // stream order: one range per payload or sub-payload that holds
        // bytes, the first one cut to start at the right byte.
        std::vector<Range> tail;
        // Every block, in stream order, where walkBlocks() was asked for them.
        std::vector<Block> blocks;
    };

    // Walks every data packet of the file and adds up the payload bytes of
    // the stream numbered streamNumber (1 to 127, as the file numbers it; the
    // AVStream::id FFmpeg's ASF demuxer gives it). tailBytes >= 0.
    //
    // Strict: fails for anything that would make the demuxer's packets differ
    // from what the walk counts (packets of varying size, a field or payload
    // outside its packet, a packet cut short, fragments out of order, an
    // object left incomplete, a packet count the data object contradicts),
    // so that the caller can fall back to the demuxer. Fails too for a
    // stream the demuxer descrambles (audio spread over several packets), as
    // its bytes come out in another order than the file's.
    [[nodiscard]] static Result<Stream> walk(BufferedFileReader &file, int streamNumber,
                                             int64_t tailBytes);

    // As walk(), and reports the first bytes of every block of blockBytes
    // bytes (at least HeadBytes) of the stream: the units a decoder with a
    // fixed block size (WMA's block_align) takes, reading those bytes alone.
    // A block may span fragments and packets. Fails, besides, where a media
    // object of the stream holds other than whole blocks, as the decoder
    // refuses the rest of such a packet.
    [[nodiscard]] static Result<Stream> walkBlocks(BufferedFileReader &file, int streamNumber,
                                                   int64_t tailBytes, int64_t blockBytes);

  private:
    // blockBytes: 0 for no blocks.
    [[nodiscard]] static Result<Stream> walkStream(BufferedFileReader &file, int streamNumber,
                                                   int64_t tailBytes, int64_t blockBytes);
};

} // namespace audio
