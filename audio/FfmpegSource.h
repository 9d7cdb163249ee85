#pragma once

#include "FfmpegTrackLength.h"
#include "PcmSource.h"
#include "Result.h"

#include <memory>
#include <vector>

struct AVFrame;
struct SwrContext;

namespace audio {

class BufferedFileReader;
class FfmpegDecoder;

// A track in any format FFmpeg reads as audio (FLAC, Ogg Vorbis and Opus,
// AAC, WMA, APE, WavPack, AIFF, WAV, the sound of a video, ...), decoded by
// libavcodec as it plays and delivered as 16-bit frames at the file's own
// rate, mono as mono and anything wider mixed down to stereo.
//
// The length is FFmpeg's stated one when open() returns (see
// FfmpegTrackLength); read() delivers every frame the decoder yields, which may
// be a little more or fewer. The file is read on the audio thread as it plays, a
// bounded amount per read(): a file that shrinks, is overwritten or turns out
// damaged ends the track early (read() returns 0, or -1 when nothing could be
// decoded).
class FfmpegSource final : public PcmSource
{
  public:
    // Whether FFmpeg recognises the content as a format other than MPEG audio
    // (which Mp3Source plays).
    [[nodiscard]] static bool handles(BufferedFileReader &file);

    // Fails for content FFmpeg does not recognise or that is no audio
    // format, a file without an audio stream or without a sample, one whose
    // length cannot be measured, and a file whose structure does not fit.
    [[nodiscard]] static Result<std::unique_ptr<FfmpegSource>>
    open(std::unique_ptr<BufferedFileReader> file);

    ~FfmpegSource() override;
    FfmpegSource(const FfmpegSource &) = delete;
    FfmpegSource &operator=(const FfmpegSource &) = delete;

    [[nodiscard]] int sampleRate() const override { return m_sampleRate; }
    [[nodiscard]] int channels() const override { return m_channels; }
    [[nodiscard]] int64_t frameCount() const override { return m_frameCount; }
    [[nodiscard]] int64_t read(int16_t *out, int64_t maxFrames) override;

    // How the length was found.
    [[nodiscard]] FfmpegTrackLength::Method measuredBy() const { return m_measuredBy; }

  private:
    enum class State { Decoding, Ended, Failed };

    FfmpegSource(std::unique_ptr<BufferedFileReader> file, std::unique_ptr<FfmpegDecoder> decoder);

    [[nodiscard]] bool convert(const AVFrame *frame);
    [[nodiscard]] bool configureConverter(const AVFrame *frame);
    void decodeMore();

    std::unique_ptr<BufferedFileReader> m_file;
    std::unique_ptr<FfmpegDecoder> m_decoder;
    SwrContext *m_converter = nullptr;
    // The input the converter is set up for.
    int m_inputFormat = -1;
    int m_inputRate = 0;
    int m_inputChannels = 0;
    uint64_t m_inputMask = 0;

    int m_sampleRate = 0;
    int m_channels = 0;
    int64_t m_frameCount = 0;
    FfmpegTrackLength::Method m_measuredBy = FfmpegTrackLength::Method::Stated;
    State m_state = State::Decoding;
    // Converted frames not yet delivered.
    std::vector<int16_t> m_pending;
    int64_t m_pendingFrames = 0;
    int64_t m_pendingOffset = 0;
};

} // namespace audio
