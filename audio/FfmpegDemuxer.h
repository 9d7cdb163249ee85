#pragma once

#include "Result.h"

#include <cstddef>
#include <cstdint>
#include <memory>

struct AVFormatContext;
struct AVIOContext;
struct AVInputFormat;
struct AVPacket;

namespace audio {

class BufferedFileReader;

// One libavformat demuxer over a file read through BufferedFileReader, up to
// the end of its content (a trailing run of zeros is not shown): no file name
// reaches FFmpeg, and a demuxer never opens anything else (a
// playlist, an external reference or a URL fails instead). The reader must
// outlive the demuxer; several demuxers may share one reader as long as they
// are used from one thread at a time.
class FfmpegDemuxer
{
  public:
    // Bytes read from the start of a file to tell its format.
    static constexpr int MaxProbeBytes = 1 << 20;
    // Bytes a demuxer reads ahead to learn what its streams hold.
    static constexpr int StreamProbeBytes = 128 * 1024;

    // Whether the demuxer reads a format a track may be in (see allowed()).
    // The rest (playlists such as hls and concat, image sequences, subtitles,
    // tty, raw video, ...) never gets to read a file.
    [[nodiscard]] static bool allowed(const AVInputFormat *format);

    // The demuxer that recognises the content, or null when none does with
    // confidence (random bytes, text, a format FFmpeg does not read) or it is
    // not one of the allowed audio formats: WAV, AIFF, AU, CAF, FLAC, Ogg,
    // MP4, Matroska and WebM, ASF, APE, WavPack, TTA, Musepack, ADTS AAC,
    // AC-3 and E-AC-3, DTS, AMR and MPEG audio. *foreign, if given, tells
    // whether a demuxer recognised the content but is not one of those.
    [[nodiscard]] static const AVInputFormat *probe(BufferedFileReader &file,
                                                    bool *foreign = nullptr);

    // Opens the file with that demuxer and reads its header. ioBufferBytes is
    // the size of each read FFmpeg makes. Refuses, before FFmpeg reads it, an
    // MP4 whose fragments count more samples than the file has room for:
    // FFmpeg would set aside memory for each.
    [[nodiscard]] static Result<std::unique_ptr<FfmpegDemuxer>>
    open(BufferedFileReader &file, const AVInputFormat *format, int ioBufferBytes);

    // FFmpeg's text for one of its error codes.
    [[nodiscard]] static QString errorText(int code);

    ~FfmpegDemuxer();
    FfmpegDemuxer(const FfmpegDemuxer &) = delete;
    FfmpegDemuxer &operator=(const FfmpegDemuxer &) = delete;

    [[nodiscard]] AVFormatContext *context() const { return m_format; }

    // av_read_frame(): 0, AVERROR_EOF at the end, another negative on error.
    [[nodiscard]] int readPacket(AVPacket *packet);

    // From now on reads stop with an error once they have taken this many
    // bytes from the file; negative for no limit (the default).
    void setReadBudget(int64_t bytes) { m_budget = bytes; }
    // Whether a read stopped at the budget.
    [[nodiscard]] bool overBudget() const { return m_overBudget; }
    // Whether the file turned out shorter than when it was opened.
    [[nodiscard]] bool fileCut() const { return m_fileCut; }

  private:
    explicit FfmpegDemuxer(BufferedFileReader &file);

    static int readCallback(void *opaque, uint8_t *buffer, int size);
    static int64_t seekCallback(void *opaque, int64_t offset, int whence);
    [[nodiscard]] bool allocateIo(int bufferBytes);

    BufferedFileReader &m_file;
    const int64_t m_end;
    int64_t m_position = 0;
    int64_t m_budget = -1;
    bool m_overBudget = false;
    bool m_fileCut = false;
    AVIOContext *m_io = nullptr;
    AVFormatContext *m_format = nullptr;
};

} // namespace audio
