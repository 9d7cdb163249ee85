#pragma once

#include "Result.h"

#include <memory>

struct AVCodecContext;
struct AVFrame;
struct AVInputFormat;
struct AVPacket;
struct AVStream;

namespace audio {

class BufferedFileReader;
class FfmpegDemuxer;

// The first audio stream of a file, demuxed and decoded frame by frame with
// libavcodec. Other streams (video, pictures, subtitles) are skipped by the
// demuxer. Encoder delay and padding that the container records are removed
// by libavcodec as it decodes.
class FfmpegDecoder
{
  public:
    enum class Step { Frame, End, Error };

    // errorFlags: AV_EF_* flags for the decoder on top of FFmpeg's defaults.
    // Fails for a file without an audio stream or one FFmpeg has no decoder
    // for.
    [[nodiscard]] static Result<std::unique_ptr<FfmpegDecoder>> open(BufferedFileReader &file,
                                                                     const AVInputFormat *format,
                                                                     int ioBufferBytes,
                                                                     int errorFlags = 0);

    ~FfmpegDecoder();
    FfmpegDecoder(const FfmpegDecoder &) = delete;
    FfmpegDecoder &operator=(const FfmpegDecoder &) = delete;

    // Decodes up to the next frame that holds samples: Frame (then frame()
    // holds it), End once the stream is decoded to its end, or Error (then
    // errorText() says why). A packet the demuxer marks as corrupt (cut short
    // by the end of the file) is an error. After End or Error, stays there.
    [[nodiscard]] Step next();
    [[nodiscard]] const AVFrame *frame() const { return m_frame; }
    [[nodiscard]] QString errorText() const;

    [[nodiscard]] FfmpegDemuxer &demuxer() const { return *m_demuxer; }
    [[nodiscard]] AVStream *stream() const;
    [[nodiscard]] int streamIndex() const { return m_streamIndex; }
    [[nodiscard]] AVCodecContext *codec() const { return m_codec; }

  private:
    explicit FfmpegDecoder(std::unique_ptr<FfmpegDemuxer> demuxer);

    [[nodiscard]] Step fail(int error);

    std::unique_ptr<FfmpegDemuxer> m_demuxer;
    int m_streamIndex = -1;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    bool m_draining = false;
    Step m_finished = Step::Frame;
    int m_error = 0;
};

} // namespace audio
