#pragma once

#include "Result.h"

#include <QByteArray>

#include <array>
#include <cstdint>
#include <functional>

namespace audio {

class BufferedFileReader;

// The frames of the audio track of a Matroska or WebM file, found from the
// element headers alone: where each frame's bytes lie, in file order, as a
// demuxer would hand them out as packets.
class MatroskaBlocks
{
  public:
    // How many of a frame's first bytes a walk may pass along.
    static constexpr int HeadBytes = 8;

    struct Frame
    {
        int64_t offset = 0;
        int64_t bytes = 0;
        // The BlockGroup's DiscardPadding, in nanoseconds (0 where none):
        // positive, samples to drop at the end of the frame; negative, at its
        // start.
        int64_t discardPadding = 0;
        // The frame's first headBytes bytes, where the walk read them anyway
        // (headBytes may be 0 however long the frame is).
        std::array<uint8_t, HeadBytes> head{};
        int headBytes = 0;
    };
    // Called for each frame of the audio track; a failure ends the walk with
    // it.
    using Visitor = std::function<Result<void>(const Frame &)>;

    // Walks the segment's clusters from the start of the file to the
    // segment's end (the file's end where its size is unknown), SimpleBlocks
    // and Blocks in BlockGroups, unlaced or laced (Xiph, EBML, fixed).
    //
    // An EBML variable-length number (an element ID where the marker bit is
    // kept, else a size or value): its length in the leading zero bits of
    // the first byte, at most maxBytes and available; bytes is 0 where p does
    // not hold one. Every value bit set means "unknown" (of sizes).
    struct Number
    {
        uint64_t value = 0;
        int bytes = 0;
        bool unknown = false;
    };
    [[nodiscard]] static Number parseNumber(const uint8_t *p, int64_t available, int maxBytes,
                                            bool keepMarker);

    // codec: the audio track's CodecID ("A_VORBIS", "A_OPUS").
    //
    // Fails for anything a demuxer would have to guess about: an element
    // running past its parent or the file, a size of unknown length other than
    // a segment's or a cluster's, lace sizes that do not add up, a cluster
    // before the list of tracks, other than one audio track, one of another
    // codec or whose frames are stored compressed or encrypted
    // (ContentEncodings), and a laced block with DiscardPadding. The caller
    // then reads the file through a demuxer instead.
    [[nodiscard]] static Result<void> walk(BufferedFileReader &file, const QByteArray &codec,
                                           const Visitor &visit);
};

} // namespace audio
