#pragma once

#include <cstdint>

namespace audio {

class BufferedFileReader;

// The movie fragments of an ISO base media file (a fragmented MP4 or M4A),
// as far as the room their samples need goes.
//
// FFmpeg's MP4 demuxer sets aside index memory for every sample a fragment's
// "trun" box counts before it reads any, and fills it even where the box lists
// nothing per sample: a few bytes that count 2^25 samples make it fill a
// gigabyte for seconds. The count alone cannot be trusted, but what it claims
// can be weighed against the file.
class IsoFragments
{
  public:
    // The fewest bytes the samples of every fragment can take up: for each
    // "trun" box (in a "traf" in a top-level "moof"), its sample count times
    // the size its samples share (the fragment's default from "tfhd", else
    // the track's from "trex" in "moov"/"mvex"), one byte at least. A box
    // that lists each sample's size counts a byte a sample: its table, four
    // bytes a sample or more, is in the file. A table that runs past its box
    // (or the file) counts as INT64_MAX, as does a sum that would overflow.
    // 0 for a file without fragments. A file whose samples need more than
    // its size is damaged or forged.
    [[nodiscard]] static int64_t leastSampleBytes(BufferedFileReader &file);
};

} // namespace audio
