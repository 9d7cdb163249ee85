#include "FfmpegTrackLength.h"

#include "BufferedFileReader.h"
#include "ContainerLayout.h"
#include "FfmpegDecoder.h"
#include "FfmpegDemuxer.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace audio {

namespace {

using Measured = FfmpegTrackLength::Measured;
using Method = FfmpegTrackLength::Method;

// Each read FFmpeg makes while counting packets: few calls over a long file.
constexpr int ScanIoBytes = 64 * 1024;

bool named(const AVInputFormat *format, const char *prefix)
{
    return std::strncmp(format->name, prefix, std::strlen(prefix)) == 0;
}

int64_t toFrames(int64_t time, AVRational timeBase, int rate)
{
    return av_rescale_q(time, timeBase, AVRational{1, rate});
}

Failure truncated()
{
    return Failure{QStringLiteral("truncated: the file is shorter than its structure says")};
}

// The cheap checks, each a few reads however long the file, that the
// structure a container states fits in the file.
Result<void> structureFits(BufferedFileReader &file, const AVInputFormat *format, AVStream *stream)
{
    char magic[4] = {};
    if (named(format, "wav") && file.read(0, magic, sizeof magic) == sizeof magic &&
        std::memcmp(magic, "RIFF", 4) == 0) {
        if (const Result<ContainerLayout::AudioData> data = ContainerLayout::riffWaveData(file);
            !data)
            return Failure{data.error()};
    } else if (named(format, "aiff")) {
        const Result<ContainerLayout::AudioData> data = ContainerLayout::aiffData(file);
        if (!data)
            return Failure{data.error()};
    } else if (named(format, "ogg")) {
        if (!ContainerLayout::oggEndsWithLastPage(file))
            return Failure{QStringLiteral("truncated: the Ogg stream has no last page")};
    } else if ((named(format, "mov,") && !ContainerLayout::isoBoxesFit(file)) ||
               (named(format, "asf") && !ContainerLayout::asfObjectsFit(file)) ||
               (named(format, "matroska") && !ContainerLayout::matroskaSegmentFits(file))) {
        return truncated();
    }
    if (named(format, "mov,")) {
        // The sample table says where each packet lies.
        int64_t end = 0;
        for (int i = 0, count = avformat_index_get_entries_count(stream); i < count; ++i) {
            const AVIndexEntry *entry = avformat_index_get_entry(stream, i);
            end = std::max(end, entry->pos + entry->size);
        }
        if (end > file.size())
            return Failure{QStringLiteral("truncated: packets lie past the end of the file")};
    }
    return {};
}

// The length FFmpeg states, in frames; -1 where it states none or guesses.
int64_t statedFrames(const AVFormatContext *context, const AVStream *stream, int rate)
{
    // Where Matroska has no Duration element, FFmpeg guesses from the
    // bitrate, which a variable rate makes wrong.
    if (context->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE &&
        named(context->iformat, "matroska"))
        return -1;
    if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0) {
        const AVCodecParameters *codec = stream->codecpar;
        const int64_t padding = codec->initial_padding > 0 && codec->sample_rate > 0
                                    ? av_rescale(codec->initial_padding, rate, codec->sample_rate)
                                    : 0;
        return std::max<int64_t>(toFrames(stream->duration, stream->time_base, rate) - padding, 0);
    }
    // Matroska's writers tag each track with its own duration; the
    // container's is the longest track's, a picture track's too.
    if (const AVDictionaryEntry *tag = av_dict_get(stream->metadata, "DURATION", nullptr, 0)) {
        int hours = 0;
        int minutes = 0;
        double seconds = 0;
        if (std::sscanf(tag->value, "%d:%d:%lf", &hours, &minutes, &seconds) == 3 && hours >= 0 &&
            minutes >= 0 && seconds >= 0)
            return std::llround(((hours * 60.0 + minutes) * 60.0 + seconds) * rate);
    }
    if (context->duration != AV_NOPTS_VALUE && context->duration > 0)
        return toFrames(context->duration, AV_TIME_BASE_Q, rate);
    return -1;
}

// ADTS: every frame header, each frame 1,024 frames at the headers' rate, or
// 2,048 at twice that where the decoder finds SBR.
Result<Measured> adtsLength(BufferedFileReader &file, int rate)
{
    const Result<ContainerLayout::AdtsStream> stream = ContainerLayout::adtsStream(file);
    if (!stream)
        return Failure{stream.error()};
    if (rate == 2 * stream->sampleRate)
        return Measured{2 * stream->frames, Method::Packets};
    return Measured{stream->frames * rate / std::max(stream->sampleRate, 1), Method::Packets};
}

// Reads the stream's packets through a demuxer of its own: from the first
// packet's time to the latest end of one.
Result<Measured> packetLength(BufferedFileReader &file, const FfmpegDecoder &playback, int rate)
{
    Result<std::unique_ptr<FfmpegDemuxer>> opened =
        FfmpegDemuxer::open(file, playback.demuxer().context()->iformat, ScanIoBytes);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDemuxer &demuxer = *opened.value();
    AVFormatContext *context = demuxer.context();
    const int streamIndex = playback.streamIndex();
    if (streamIndex >= static_cast<int>(context->nb_streams))
        return Failure{QStringLiteral("damaged: the audio stream is gone")};
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex)
            context->streams[i]->discard = AVDISCARD_ALL;
    }
    const AVRational timeBase = context->streams[streamIndex]->time_base;
    std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(),
                                                           [](AVPacket *p) { av_packet_free(&p); });
    if (packet == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int64_t first = AV_NOPTS_VALUE;
    int64_t end = AV_NOPTS_VALUE;
    int result = 0;
    while ((result = demuxer.readPacket(packet.get())) >= 0) {
        if (packet->stream_index == streamIndex && packet->pts != AV_NOPTS_VALUE) {
            if (first == AV_NOPTS_VALUE || packet->pts < first)
                first = packet->pts;
            end = std::max(end, packet->pts + std::max<int64_t>(packet->duration, 0));
        }
        av_packet_unref(packet.get());
    }
    const int ioError = context->pb->error;
    if (result != AVERROR_EOF || (ioError < 0 && ioError != AVERROR_EOF))
        return Failure{
            QStringLiteral("damaged: %1")
                .arg(FfmpegDemuxer::errorText(result != AVERROR_EOF ? result : ioError))};
    if (first == AV_NOPTS_VALUE)
        return Measured{0, Method::Packets};
    return Measured{toFrames(end - std::max<int64_t>(first, 0), timeBase, rate), Method::Packets};
}

} // namespace

Result<Measured> FfmpegTrackLength::measure(BufferedFileReader &file, const FfmpegDecoder &playback,
                                            int rate)
{
    const AVFormatContext *context = playback.demuxer().context();
    if (const Result<void> fits = structureFits(file, context->iformat, playback.stream()); !fits)
        return Failure{fits.error()};
    if (named(context->iformat, "aac"))
        return adtsLength(file, rate);
    const int64_t stated = statedFrames(context, playback.stream(), rate);
    if (stated >= 0)
        return Measured{stated, Method::Stated};
    // Raw streams of a constant bitrate, as FFmpeg's own estimate would
    // state them: the bitrate of the first frame decoded over the file.
    const int64_t bitRate = playback.codec()->bit_rate;
    if (bitRate > 0 && (named(context->iformat, "ac3") || named(context->iformat, "eac3") ||
                        named(context->iformat, "dts")))
        return Measured{av_rescale(file.contentEnd() * 8, rate, bitRate), Method::Stated};
    return packetLength(file, playback, rate);
}

} // namespace audio
