#pragma once

#include "Result.h"

#include <cstdint>

namespace audio {

class BufferedFileReader;
class FfmpegDecoder;

// The exact length of a track FFmpeg decodes, in frames at the rate its
// decoder delivers: the count a full decode yields, with the encoder delay and
// padding removed that the container records.
//
// Where the container states the count, it is taken from there and the file
// is checked to hold all of it: the data chunk of WAV and AIFF, FLAC's
// STREAMINFO (also in Matroska), the last granule position of Ogg (less
// Opus's pre-skip), the header of other lossless formats (WavPack, APE, ALAC in
// MP4). Counted without decoding: AAC by its packets (ADTS frame headers, the
// sample table of an MP4 file, its packets where it is fragmented); fixed
// blocks in WAV (ADPCM) from the data chunk's size, the last one decoded as a
// check; Vorbis and Opus in Matroska and WebM, each packet from its own
// header, the packets found by a walk over the blocks; WMA 1 and 2 in ASF,
// a frame a block without the bit reservoir, with it from the headers of its
// superframes (checked against the packets' times), the last blocks decoded
// as a check. The rest is decoded once (other codecs in Matroska, WMA whose
// headers, times and last blocks disagree, ...). A file cut short or damaged
// where the measurement looks fails.
class FfmpegTrackLength
{
  public:
    enum class Method { Header, Packets, DecodeScan };
    struct Measured
    {
        int64_t frames = 0;
        Method method = Method::Header;
    };

    // playback: the decoder that will play the track, opened on the same
    // file; rate: the rate its frames come at. Opens its own demuxers where it
    // needs to read; leaves playback where it was.
    [[nodiscard]] static Result<Measured> measure(BufferedFileReader &file,
                                                  const FfmpegDecoder &playback, int rate);
};

} // namespace audio
