#pragma once

#include "Result.h"

#include <cstdint>

namespace audio {

class BufferedFileReader;

// What the structure of a few containers says about the audio they hold,
// read from the bytes themselves: where the samples are, and whether the
// file holds all of what its header announces.
class ContainerLayout
{
  public:
    struct AudioData
    {
        int64_t offset = 0;
        int64_t bytes = 0;
        // The frame count the header records (AIFF's COMM chunk); -1 if none.
        int64_t declaredFrames = -1;
    };

    // A RIFF/WAVE file's "data" chunk. Fails when the file does not start
    // like one, has no data chunk, or any chunk runs past the end of the file
    // (a missing pad byte after the last chunk, or fewer than 8 bytes after
    // it, are allowed).
    [[nodiscard]] static Result<AudioData> riffWaveData(BufferedFileReader &file);
    // The same for an AIFF or AIFF-C file's "SSND" chunk, with the frame
    // count of its "COMM" chunk.
    [[nodiscard]] static Result<AudioData> aiffData(BufferedFileReader &file);

    struct AdtsStream
    {
        // Frames the stream decodes to at the rate its headers state: 1,024
        // per ADTS frame (twice that at twice the rate where the decoder finds
        // SBR).
        int64_t frames = 0;
        int sampleRate = 0;
    };

    // Walks an ADTS stream's frame headers from the first (after any ID3v2
    // tags, and any bytes before the first pair of frames) to the end of the
    // file (before an APEv2 or ID3v1 tag). Fails for a frame cut short, bytes
    // where a frame should start, a frame holding more than one block of
    // samples (which FFmpeg does not decode) and a change of rate.
    [[nodiscard]] static Result<AdtsStream> adtsStream(BufferedFileReader &file);

    // Whether every top-level box of an ISO base media file (MP4, M4A, MOV)
    // fits in the file; fewer than 8 bytes after the last are allowed.
    [[nodiscard]] static bool isoBoxesFit(BufferedFileReader &file);
    // Whether the file is fragmented (a top-level "moof" box): its sample
    // tables are not all in its header.
    [[nodiscard]] static bool isoFragmented(BufferedFileReader &file);
    // The same for the top-level objects of an ASF file (WMA, WMV).
    [[nodiscard]] static bool asfObjectsFit(BufferedFileReader &file);
    // Whether the segment of a Matroska or WebM file fits in the file, where
    // the file states its size.
    [[nodiscard]] static bool matroskaSegmentFits(BufferedFileReader &file);

    // The offset of the WavPack block that starts the frame holding the
    // sample at index (the last block flagged as a frame's first, counting
    // from 0, whose first sample is at or before it), from a walk over the
    // block headers from the start of the file. The walk stops at bytes that
    // are no block header; where no frame starts at or before index, the
    // first block's offset. Fails for a file that does not start with a block.
    // Reads the headers alone, through a small buffer: the reader is left at
    // its default block size.
    [[nodiscard]] static Result<int64_t> wavPackFrameAt(BufferedFileReader &file, int64_t index);
    // The same frame found from the end of the file, for a file of total
    // samples: the last block is the one whose samples end at total, and
    // each block before it counts only where its size leads exactly to the
    // block after it and its samples run on into that block's. Reads a few
    // blocks' worth of bytes at the end, whatever the file's length. Fails
    // where no such chain reaches a frame starting at or before index within
    // the last few megabytes (a file cut short, damaged at its end, or with
    // more than that after the frame): the walk from the start tells then.
    [[nodiscard]] static Result<int64_t> wavPackFrameFromEnd(BufferedFileReader &file,
                                                             int64_t index, int64_t total);

    // Whether the file ends with a whole Ogg page, its checksum right, that
    // closes its logical stream (an ID3v1 tag after it is allowed). A file cut
    // short ends without one.
    [[nodiscard]] static bool oggEndsWithLastPage(BufferedFileReader &file);
};

} // namespace audio
