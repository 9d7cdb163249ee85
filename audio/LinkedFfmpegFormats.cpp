#include "LinkedFfmpegFormats.h"

#include "BufferedFileReader.h"
#include "FfmpegDemuxer.h"
#include "FfmpegSource.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
}

#include <cstring>

namespace audio {

namespace {

// A title tag, trimmed; nullopt when absent or blank. Keys match without
// regard to case: TITLE, Title and title alike.
std::optional<QString> titleIn(const AVDictionary *metadata)
{
    const AVDictionaryEntry *entry = av_dict_get(metadata, "title", nullptr, 0);
    if (entry == nullptr || entry->value == nullptr)
        return std::nullopt;
    QString title = QString::fromUtf8(entry->value).trimmed();
    if (title.isEmpty())
        return std::nullopt;
    return title;
}

} // namespace

bool LinkedFfmpegFormats::handles(BufferedFileReader &file) const
{
    return FfmpegSource::handles(file);
}

Result<std::unique_ptr<PcmSource>>
LinkedFfmpegFormats::open(std::unique_ptr<BufferedFileReader> file) const
{
    Result<std::unique_ptr<FfmpegSource>> source = FfmpegSource::open(std::move(file));
    if (!source)
        return Failure{source.error()};
    return std::unique_ptr<PcmSource>(std::move(source).value());
}

// The same demuxer choice the loader makes: MPEG audio, and anything no
// demuxer recognises with confidence, are left to libmpg123.
FfmpegFormats::Probe LinkedFfmpegFormats::probe(BufferedFileReader &file) const
{
    constexpr int BufferSize = 4096;
    Probe probe;
    bool foreign = false;
    const AVInputFormat *format = FfmpegDemuxer::probe(file, &foreign);
    // A picture, a playlist, ...: recognised, and no audio.
    probe.recognised = foreign;
    if (format == nullptr)
        return probe;
    probe.mpeg = std::strcmp(format->name, "mp3") == 0;
    if (probe.mpeg) {
        probe.recognised = true;
        return probe;
    }
    Result<std::unique_ptr<FfmpegDemuxer>> demuxer = FfmpegDemuxer::open(file, format, BufferSize);
    if (!demuxer)
        return probe;
    probe.recognised = true;
    const AVFormatContext *context = demuxer.value()->context();
    probe.title = titleIn(context->metadata);
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream *stream = context->streams[i];
        if (stream->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        probe.audio = true;
        if (!probe.title)
            probe.title = titleIn(stream->metadata);
    }
    return probe;
}

} // namespace audio
