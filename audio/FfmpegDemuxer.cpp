#include "FfmpegDemuxer.h"

#include "BufferedFileReader.h"
#include "IsoFragments.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>

namespace audio {

namespace {

// FFmpeg's own log would go to stderr; failures reach the caller as text.
void silenceFfmpegLog()
{
    static std::once_flag once;
    std::call_once(once, [] { av_log_set_level(AV_LOG_QUIET); });
}

// Nested opens through the context (playlists, external references, URLs)
// are refused.
int refuseNestedOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

} // namespace

bool FfmpegDemuxer::allowed(const AVInputFormat *format)
{
    // FFmpeg's names for the demuxers of the formats a track may be in.
    static constexpr const char *AudioFormats[] = {"aac",
                                                   "ac3",
                                                   "aiff",
                                                   "amr",
                                                   "ape",
                                                   "asf",
                                                   "au",
                                                   "caf",
                                                   "dts",
                                                   "eac3",
                                                   "flac",
                                                   "mp3",
                                                   "mpc",
                                                   "mpc8",
                                                   "ogg",
                                                   "tta",
                                                   "wav",
                                                   "wv",
                                                   "mov,mp4,m4a,3gp,3g2,mj2",
                                                   "matroska,webm"};
    return format != nullptr &&
           std::any_of(std::begin(AudioFormats), std::end(AudioFormats),
                       [format](const char *name) { return std::strcmp(format->name, name) == 0; });
}

QString FfmpegDemuxer::errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

FfmpegDemuxer::FfmpegDemuxer(BufferedFileReader &file) : m_file(file), m_end(file.contentEnd()) {}

FfmpegDemuxer::~FfmpegDemuxer()
{
    avformat_close_input(&m_format);
    if (m_io != nullptr) {
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
}

bool FfmpegDemuxer::allocateIo(int bufferBytes)
{
    auto *buffer = static_cast<unsigned char *>(av_malloc(static_cast<std::size_t>(bufferBytes)));
    if (buffer == nullptr)
        return false;
    m_io = avio_alloc_context(buffer, bufferBytes, 0, this, &FfmpegDemuxer::readCallback, nullptr,
                              &FfmpegDemuxer::seekCallback);
    if (m_io == nullptr) {
        av_free(buffer);
        return false;
    }
    return true;
}

int FfmpegDemuxer::readCallback(void *opaque, uint8_t *buffer, int size)
{
    auto *self = static_cast<FfmpegDemuxer *>(opaque);
    if (self->m_budget == 0) {
        self->m_overBudget = true;
        return AVERROR(EIO);
    }
    if (self->m_budget > 0 && size > self->m_budget)
        size = static_cast<int>(self->m_budget);
    if (self->m_position >= self->m_end)
        return AVERROR_EOF;
    size = static_cast<int>(std::min<int64_t>(size, self->m_end - self->m_position));
    const int64_t got = self->m_file.read(self->m_position, buffer, static_cast<std::size_t>(size));
    if (got < 0)
        return AVERROR(EIO);
    // Short of both the request and the size at opening: the file shrank.
    if (got < size && self->m_position + got < self->m_end)
        self->m_fileCut = true;
    if (got == 0)
        return AVERROR_EOF;
    self->m_position += got;
    if (self->m_budget > 0)
        self->m_budget -= got;
    return static_cast<int>(got);
}

int64_t FfmpegDemuxer::seekCallback(void *opaque, int64_t offset, int whence)
{
    auto *self = static_cast<FfmpegDemuxer *>(opaque);
    const int64_t size = self->m_end;
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE)
        return size;
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = self->m_position;
    else if (whence == SEEK_END)
        base = size;
    else if (whence != SEEK_SET)
        return AVERROR(EINVAL);
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0)
        return AVERROR(EINVAL);
    self->m_position = base + offset;
    return self->m_position;
}

const AVInputFormat *FfmpegDemuxer::probe(BufferedFileReader &file, bool *foreign)
{
    if (foreign != nullptr)
        *foreign = false;
    silenceFfmpegLog();
    FfmpegDemuxer reader(file);
    if (!reader.allocateIo(4096))
        return nullptr;
    const AVInputFormat *format = nullptr;
    // At the largest probe size FFmpeg takes any score above 0; such a weak
    // guess is no identification. A few frames of a raw stream in a row
    // (four of AC-3) make the score that asks for more data.
    const int score = av_probe_input_buffer2(reader.m_io, &format, "", nullptr, 0, MaxProbeBytes);
    if (score < AVPROBE_SCORE_RETRY)
        return nullptr;
    if (!allowed(format)) {
        if (foreign != nullptr)
            *foreign = true;
        return nullptr;
    }
    return format;
}

Result<std::unique_ptr<FfmpegDemuxer>>
FfmpegDemuxer::open(BufferedFileReader &file, const AVInputFormat *format, int ioBufferBytes)
{
    silenceFfmpegLog();
    if (!allowed(format))
        return Failure{QStringLiteral("not an audio format")};
    if (std::strncmp(format->name, "mov,", 4) == 0 &&
        IsoFragments::leastSampleBytes(file) > file.size())
        return Failure{
            QStringLiteral("damaged: its fragments count more samples than the file holds")};
    std::unique_ptr<FfmpegDemuxer> demuxer(new FfmpegDemuxer(file));
    AVFormatContext *context = avformat_alloc_context();
    if (context == nullptr || !demuxer->allocateIo(ioBufferBytes)) {
        avformat_free_context(context);
        return Failure{QStringLiteral("out of memory")};
    }
    context->pb = demuxer->m_io;
    context->flags |= AVFMT_FLAG_CUSTOM_IO;
    context->io_open = &refuseNestedOpen;
    // Demuxers that open their inputs as demuxers of their own (ffconcat)
    // pass this list on: no protocol, so no file, is allowed.
    context->protocol_whitelist = av_strdup("none");
    // What the demuxer reads ahead to learn about its streams. Where it
    // checks packets for a codec in disguise (AC-3 or DTS in a WAV file's
    // PCM), every format's probe runs over them each time their size doubles:
    // two packets keep that to a fraction of a millisecond.
    context->probesize = StreamProbeBytes;
    context->max_probe_packets = 2;
    // Frees the context on failure.
    const int result = avformat_open_input(&context, "", format, nullptr);
    if (result < 0)
        return Failure{QStringLiteral("cannot read the %1 header: %2")
                           .arg(QString::fromUtf8(format->name), errorText(result))};
    demuxer->m_format = context;
    return demuxer;
}

int FfmpegDemuxer::readPacket(AVPacket *packet)
{
    return av_read_frame(m_format, packet);
}

} // namespace audio
