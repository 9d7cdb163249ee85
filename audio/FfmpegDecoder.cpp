#include "FfmpegDecoder.h"

#include "FfmpegDemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace audio {

namespace {

// The stream to play: FFmpeg's best audio stream, or else the first stream
// that holds audio at all (some demuxers leave the rate and channels to the
// decoder); -1 when there is none.
int audioStreamIndex(AVFormatContext *context)
{
    const int best = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (best >= 0)
        return best;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (context->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace

FfmpegDecoder::FfmpegDecoder(std::unique_ptr<FfmpegDemuxer> demuxer) : m_demuxer(std::move(demuxer))
{}

FfmpegDecoder::~FfmpegDecoder()
{
    av_frame_free(&m_frame);
    av_packet_free(&m_packet);
    avcodec_free_context(&m_codec);
}

Result<std::unique_ptr<FfmpegDecoder>> FfmpegDecoder::open(BufferedFileReader &file,
                                                           const AVInputFormat *format,
                                                           int ioBufferBytes, int errorFlags)
{
    Result<std::unique_ptr<FfmpegDemuxer>> demuxer =
        FfmpegDemuxer::open(file, format, ioBufferBytes);
    if (!demuxer)
        return Failure{demuxer.error()};
    std::unique_ptr<FfmpegDecoder> decoder(new FfmpegDecoder(std::move(demuxer).value()));
    AVFormatContext *context = decoder->m_demuxer->context();

    int index = audioStreamIndex(context);
    // Demuxers without a header (MPEG transport streams) find their streams
    // in the first packets.
    if (index < 0 && (context->ctx_flags & AVFMTCTX_NOHEADER) != 0 &&
        avformat_find_stream_info(context, nullptr) >= 0)
        index = audioStreamIndex(context);
    if (index < 0)
        return Failure{QStringLiteral("no audio stream")};
    decoder->m_streamIndex = index;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (static_cast<int>(i) != index)
            context->streams[i]->discard = AVDISCARD_ALL;
    }

    AVStream *stream = context->streams[index];
    const AVCodec *codec = avcodec_find_decoder(stream->codecpar->codec_id);
    if (codec == nullptr)
        return Failure{QStringLiteral("no decoder for %1")
                           .arg(QString::fromUtf8(avcodec_get_name(stream->codecpar->codec_id)))};
    decoder->m_codec = avcodec_alloc_context3(codec);
    decoder->m_packet = av_packet_alloc();
    decoder->m_frame = av_frame_alloc();
    if (decoder->m_codec == nullptr || decoder->m_packet == nullptr || decoder->m_frame == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int result = avcodec_parameters_to_context(decoder->m_codec, stream->codecpar);
    if (result >= 0) {
        decoder->m_codec->pkt_timebase = stream->time_base;
        decoder->m_codec->thread_count = 1;
        decoder->m_codec->err_recognition |= errorFlags;
        result = avcodec_open2(decoder->m_codec, codec, nullptr);
    }
    if (result < 0)
        return Failure{QStringLiteral("cannot start the %1 decoder: %2")
                           .arg(QString::fromUtf8(codec->name), FfmpegDemuxer::errorText(result))};
    return decoder;
}

AVStream *FfmpegDecoder::stream() const
{
    return m_demuxer->context()->streams[m_streamIndex];
}

FfmpegDecoder::Step FfmpegDecoder::fail(int error)
{
    m_error = error;
    m_finished = Step::Error;
    return Step::Error;
}

FfmpegDecoder::Step FfmpegDecoder::next()
{
    if (m_finished != Step::Frame)
        return m_finished;
    for (;;) {
        int result = avcodec_receive_frame(m_codec, m_frame);
        if (result == 0) {
            if (m_frame->nb_samples > 0)
                return Step::Frame;
            continue;
        }
        if (result == AVERROR_EOF) {
            m_finished = Step::End;
            return Step::End;
        }
        if (result != AVERROR(EAGAIN))
            return fail(result);
        if (m_draining) {
            m_finished = Step::End;
            return Step::End;
        }
        result = m_demuxer->readPacket(m_packet);
        // Some demuxers report a failed read as the end of the data.
        const int ioError = m_demuxer->context()->pb->error;
        if (result == AVERROR_EOF && ioError < 0 && ioError != AVERROR_EOF)
            return fail(ioError);
        if (result == AVERROR_EOF) {
            m_draining = true;
            // Flushes the frames the decoder still holds.
            result = avcodec_send_packet(m_codec, nullptr);
            if (result < 0 && result != AVERROR_EOF)
                return fail(result);
            continue;
        }
        if (result < 0)
            return fail(result);
        if (m_packet->stream_index != m_streamIndex) {
            av_packet_unref(m_packet);
            continue;
        }
        const bool corrupt = (m_packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        result = corrupt ? AVERROR_INVALIDDATA : avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
        if (result < 0)
            return fail(result);
    }
}

QString FfmpegDecoder::errorText() const
{
    if (m_demuxer->fileCut())
        return QStringLiteral("the file became shorter");
    if (m_demuxer->overBudget())
        return QStringLiteral("no audio within the data read");
    return FfmpegDemuxer::errorText(m_error);
}

} // namespace audio
