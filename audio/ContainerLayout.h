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
    };

    // A RIFF/WAVE file's "data" chunk. Fails when the file does not start
    // like one, has no data chunk, or a chunk up to it runs past the end of
    // the file (a missing pad byte after a last data chunk is allowed). What
    // follows the data chunk is not read.
    [[nodiscard]] static Result<AudioData> riffWaveData(BufferedFileReader &file);
    // The same for an AIFF or AIFF-C file's "SSND" chunk.
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
    // The same for the top-level objects of an ASF file (WMA, WMV).
    [[nodiscard]] static bool asfObjectsFit(BufferedFileReader &file);
    // Whether the segment of a Matroska or WebM file fits in the file, where
    // the file states its size.
    [[nodiscard]] static bool matroskaSegmentFits(BufferedFileReader &file);

    // Whether the file ends with a whole Ogg page, its checksum right, that
    // closes its logical stream (an ID3v1 tag after it is allowed). A file cut
    // short ends without one.
    [[nodiscard]] static bool oggEndsWithLastPage(BufferedFileReader &file);
};

} // namespace audio
