#pragma once

#include "PcmSource.h"
#include "Result.h"

#include <QString>

#include <memory>
#include <sys/types.h>

struct mpg123_handle_struct;

namespace audio {

class BufferedFileReader;

// An MPEG audio stream decoded by libmpg123 with gapless decoding: encoder
// delay and padding are removed where a LAME/Info header records them. The
// length is exact at once: taken from that header, or from a scan of every
// frame where there is none, and stays what was measured. The file is read on
// the audio thread as it plays: one that shrinks or changes meanwhile ends the
// track early or plays what it now holds.
class Mp3Source final : public PcmSource
{
  public:
    // Whether the file plainly is MPEG audio: after any ID3v2 tags comes the
    // header of an MPEG audio frame of layer I, II or III (so not ADTS, whose
    // layer bits are 0). Reads at most a few small pieces; a false answer
    // leaves the decision to the other decoders.
    [[nodiscard]] static bool looksLikeMpegAudio(BufferedFileReader &file);

    // Fails when no MPEG audio frame is found, when the file ends before the
    // stream its header announces, or when it holds no sample.
    [[nodiscard]] static Result<std::unique_ptr<Mp3Source>>
    open(std::unique_ptr<BufferedFileReader> file);
    ~Mp3Source() override;

    [[nodiscard]] int sampleRate() const override { return m_sampleRate; }
    [[nodiscard]] int channels() const override { return m_channels; }
    [[nodiscard]] int64_t frameCount() const override { return m_frameCount; }
    [[nodiscard]] int64_t read(int16_t *out, int64_t maxFrames) override;

    // Whether the length came from a full scan (no LAME/Info header).
    [[nodiscard]] bool scanned() const { return m_scanned; }

  private:
    struct HandleDeleter
    {
        void operator()(mpg123_handle_struct *handle) const;
    };

    explicit Mp3Source(std::unique_ptr<BufferedFileReader> file);

    static ssize_t readCallback(void *cursor, void *buffer, size_t bytes);
    static off_t seekCallback(void *cursor, off_t offset, int whence);
    [[nodiscard]] bool announcedStreamFits();
    [[nodiscard]] bool endsWithId3v1Tag();
    [[nodiscard]] bool formatUnchanged() const;

    std::unique_ptr<BufferedFileReader> m_file;
    int64_t m_cursor = 0;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> m_handle;
    int m_sampleRate = 0;
    int m_channels = 0;
    int64_t m_frameCount = 0;
    int64_t m_delivered = 0;
    bool m_scanned = false;
};

} // namespace audio
