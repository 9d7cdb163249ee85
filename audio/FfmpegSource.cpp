#include "FfmpegSource.h"

#include "BufferedFileReader.h"
#include "FfmpegDecoder.h"
#include "FfmpegDemuxer.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libswresample/swresample.h>
}

#include <algorithm>
#include <cstring>

namespace audio {

namespace {

// Each read FFmpeg makes while the track plays, on the audio thread: small,
// so that a read that reaches the disk stays short, and so that a change to
// the file is seen soon (about ten seconds ahead at 12 kbit/s).
constexpr int PlaybackIoBytes = 16 * 1024;
// The most one read() may take from the file: far more than any sane
// stream needs for one device buffer, far less than a damaged or overwritten
// file could make a demuxer search through while the device waits.
constexpr int64_t ReadBudgetBytes = 8 * 1024 * 1024;
} // namespace

bool FfmpegSource::handles(BufferedFileReader &file)
{
    const AVInputFormat *format = FfmpegDemuxer::probe(file);
    return format != nullptr && std::strcmp(format->name, "mp3") != 0;
}

FfmpegSource::FfmpegSource(std::unique_ptr<BufferedFileReader> file,
                           std::unique_ptr<FfmpegDecoder> decoder)
    : m_file(std::move(file)), m_decoder(std::move(decoder))
{}

FfmpegSource::~FfmpegSource()
{
    swr_free(&m_converter);
}

Result<std::unique_ptr<FfmpegSource>> FfmpegSource::open(std::unique_ptr<BufferedFileReader> file)
{
    const AVInputFormat *format = FfmpegDemuxer::probe(*file);
    if (format == nullptr)
        return Failure{QStringLiteral("not an audio format FFmpeg recognises")};
    Result<std::unique_ptr<FfmpegDecoder>> decoder =
        FfmpegDecoder::open(*file, format, PlaybackIoBytes);
    if (!decoder)
        return Failure{decoder.error()};
    std::unique_ptr<FfmpegSource> source(
        new FfmpegSource(std::move(file), std::move(decoder).value()));
    FfmpegDecoder &playback = *source->m_decoder;

    const FfmpegDecoder::Step first = playback.next();
    if (first == FfmpegDecoder::Step::End)
        return Failure{QStringLiteral("no audio samples")};
    if (first == FfmpegDecoder::Step::Error)
        return Failure{QStringLiteral("cannot decode: %1").arg(playback.errorText())};
    const AVFrame *frame = playback.frame();
    if (frame->sample_rate <= 0 || frame->ch_layout.nb_channels <= 0)
        return Failure{QStringLiteral("no sample rate or channel count")};
    source->m_sampleRate = frame->sample_rate;
    source->m_channels = frame->ch_layout.nb_channels == 1 ? 1 : 2;
    if (!source->convert(frame))
        return Failure{QStringLiteral("cannot convert the samples")};

    const Result<FfmpegTrackLength::Measured> length =
        FfmpegTrackLength::measure(*source->m_file, playback, source->m_sampleRate);
    if (!length)
        return Failure{length.error()};
    if (length->frames <= 0)
        return Failure{QStringLiteral("no audio samples")};
    source->m_frameCount = length->frames;
    source->m_measuredBy = length->method;
    // FFmpeg buffers its own reads: they go past the reader's buffer.
    source->m_file->setBlockSize(PlaybackIoBytes);
    return source;
}

bool FfmpegSource::configureConverter(const AVFrame *frame)
{
    swr_free(&m_converter);
    AVChannelLayout input{};
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&input, frame->ch_layout.nb_channels);
    else if (av_channel_layout_copy(&input, &frame->ch_layout) < 0)
        return false;
    AVChannelLayout output{};
    av_channel_layout_default(&output, m_channels);
    const int result = swr_alloc_set_opts2(&m_converter, &output, AV_SAMPLE_FMT_S16, m_sampleRate,
                                           &input, static_cast<AVSampleFormat>(frame->format),
                                           frame->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&input);
    av_channel_layout_uninit(&output);
    if (result < 0 || swr_init(m_converter) < 0) {
        swr_free(&m_converter);
        return false;
    }
    m_inputFormat = frame->format;
    m_inputRate = frame->sample_rate;
    m_inputChannels = frame->ch_layout.nb_channels;
    m_inputMask =
        frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : uint64_t(0);
    return true;
}

// The frame's samples, converted, replace the pending ones.
bool FfmpegSource::convert(const AVFrame *frame)
{
    const uint64_t mask =
        frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : uint64_t(0);
    if (m_converter == nullptr || frame->format != m_inputFormat ||
        frame->sample_rate != m_inputRate || frame->ch_layout.nb_channels != m_inputChannels ||
        mask != m_inputMask) {
        if (!configureConverter(frame))
            return false;
    }
    const int capacity = swr_get_out_samples(m_converter, frame->nb_samples);
    if (capacity < 0)
        return false;
    m_pending.resize(static_cast<std::size_t>(capacity) * static_cast<std::size_t>(m_channels));
    auto *out = reinterpret_cast<uint8_t *>(m_pending.data());
    const int converted =
        swr_convert(m_converter, &out, capacity, const_cast<const uint8_t **>(frame->extended_data),
                    frame->nb_samples);
    if (converted < 0)
        return false;
    m_pendingFrames = converted;
    m_pendingOffset = 0;
    return true;
}

void FfmpegSource::decodeMore()
{
    switch (m_decoder->next()) {
    case FfmpegDecoder::Step::Frame:
        if (!convert(m_decoder->frame()))
            m_state = State::Failed;
        break;
    case FfmpegDecoder::Step::End:
        m_state = State::Ended;
        break;
    case FfmpegDecoder::Step::Error:
        m_state = State::Failed;
        break;
    }
}

int64_t FfmpegSource::read(int16_t *out, int64_t maxFrames)
{
    const int64_t wanted = maxFrames;
    if (wanted <= 0)
        return 0;
    FfmpegDemuxer &demuxer = m_decoder->demuxer();
    demuxer.setReadBudget(ReadBudgetBytes);
    int64_t done = 0;
    while (done < wanted) {
        if (m_pendingOffset < m_pendingFrames) {
            const int64_t frames = std::min(wanted - done, m_pendingFrames - m_pendingOffset);
            std::memcpy(out + done * m_channels, m_pending.data() + m_pendingOffset * m_channels,
                        static_cast<std::size_t>(frames * m_channels) * sizeof(int16_t));
            done += frames;
            m_pendingOffset += frames;
            continue;
        }
        if (m_state != State::Decoding)
            break;
        decodeMore();
    }
    demuxer.setReadBudget(-1);
    if (done == 0 && m_state == State::Failed)
        return -1;
    return done;
}

} // namespace audio
