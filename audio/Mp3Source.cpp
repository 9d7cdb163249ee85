#include "Mp3Source.h"

#include "BufferedFileReader.h"

#include <mpg123.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace audio {

namespace {

// One refill while the track plays, on the audio thread: small, so that a
// read that reaches the disk stays short (about a second at 128 kbit/s).
constexpr std::size_t PlaybackBlockSize = 16 * 1024;

uint32_t bigEndian32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

} // namespace

void Mp3Source::HandleDeleter::operator()(mpg123_handle_struct *handle) const
{
    mpg123_delete(handle);
}

Mp3Source::Mp3Source(std::unique_ptr<BufferedFileReader> file) : m_file(std::move(file)) {}

Mp3Source::~Mp3Source() = default;

ssize_t Mp3Source::readCallback(void *cursor, void *buffer, size_t bytes)
{
    auto *self = static_cast<Mp3Source *>(cursor);
    // Short or 0 where the file ends (or now ends); -1 on an I/O error, which
    // libmpg123 takes as the end of the stream.
    const int64_t got = self->m_file->read(self->m_cursor, buffer, bytes);
    if (got > 0)
        self->m_cursor += got;
    return static_cast<ssize_t>(got);
}

off_t Mp3Source::seekCallback(void *cursor, off_t offset, int whence)
{
    auto *self = static_cast<Mp3Source *>(cursor);
    const int64_t target = self->m_file->seekTarget(self->m_cursor, offset, whence);
    if (target < 0)
        return -1;
    self->m_cursor = target;
    return static_cast<off_t>(target);
}

bool Mp3Source::looksLikeMpegAudio(BufferedFileReader &file)
{
    constexpr int MaxTags = 4;
    int64_t offset = 0;
    for (int tag = 0; tag <= MaxTags; ++tag) {
        uint8_t head[10];
        if (file.read(offset, head, sizeof head) != int64_t(sizeof head))
            return false;
        if (std::memcmp(head, "ID3", 3) == 0) {
            // A synchsafe size (seven bits a byte) after the version and flags;
            // a footer of ten more bytes when flag 0x10 is set.
            if (((head[6] | head[7] | head[8] | head[9]) & 0x80) != 0)
                return false;
            const int64_t size = (int64_t(head[6]) << 21) | (int64_t(head[7]) << 14) |
                                 (int64_t(head[8]) << 7) | int64_t(head[9]);
            offset += 10 + size + ((head[5] & 0x10) != 0 ? 10 : 0);
            continue;
        }
        const int version = (head[1] >> 3) & 3; // 1 is reserved
        const int layer = (head[1] >> 1) & 3;   // 0 is reserved (ADTS uses it)
        const int bitrate = head[2] >> 4;       // 15 is invalid
        const int rate = (head[2] >> 2) & 3;    // 3 is reserved
        return head[0] == 0xFF && (head[1] & 0xE0) == 0xE0 && version != 1 && layer != 0 &&
               bitrate != 15 && rate != 3;
    }
    return false;
}

Result<std::unique_ptr<Mp3Source>> Mp3Source::open(std::unique_ptr<BufferedFileReader> file)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });

    std::unique_ptr<Mp3Source> source(new Mp3Source(std::move(file)));
    int result = MPG123_OK;
    source->m_handle.reset(mpg123_new(nullptr, &result));
    mpg123_handle *handle = source->m_handle.get();
    if (handle == nullptr)
        return Failure{QString::fromUtf8(mpg123_plain_strerror(result))};
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_GAPLESS | MPG123_QUIET, 0.0);
    mpg123_format_none(handle);
    const long *rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i)
        mpg123_format(handle, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);

    long rate = 0;
    int channels = 0;
    int encoding = 0;
    if (mpg123_replace_reader_handle(handle, &Mp3Source::readCallback, &Mp3Source::seekCallback,
                                     nullptr) != MPG123_OK ||
        mpg123_open_handle(handle, source.get()) != MPG123_OK ||
        mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK)
        return Failure{
            QStringLiteral("no MPEG audio: %1").arg(QString::fromUtf8(mpg123_strerror(handle)))};
    // Only a LAME/Info header gives the exact length (and the encoder delay);
    // without one the length is guessed from the first frame, so count it.
    long delay = -1;
    double unused = 0.0;
    if (mpg123_getstate(handle, MPG123_ENC_DELAY, &delay, &unused) != MPG123_OK)
        delay = -1;
    if (delay == -1) {
        if (mpg123_scan(handle) != MPG123_OK)
            return Failure{
                QStringLiteral("cannot scan: %1").arg(QString::fromUtf8(mpg123_strerror(handle)))};
        source->m_scanned = true;
    } else if (!source->announcedStreamFits()) {
        return Failure{
            QStringLiteral("truncated: the file ends before the stream its header announces")};
    }
    const off_t length = mpg123_length(handle);
    if (length <= 0)
        return Failure{QStringLiteral("no audio samples")};
    source->m_sampleRate = static_cast<int>(rate);
    source->m_channels = channels;
    source->m_frameCount = length;
    source->m_file->setBlockSize(PlaybackBlockSize);
    return source;
}

// A LAME/Info header records the byte length of the stream it starts (tags
// excluded); a file shorter than that was cut off.
bool Mp3Source::announcedStreamFits()
{
    int64_t offset = 0;
    uint8_t id3[10];
    if (m_file->read(0, id3, sizeof id3) == sizeof id3 && std::memcmp(id3, "ID3", 3) == 0) {
        offset = 10 + ((int64_t(id3[6] & 0x7f) << 21) | (int64_t(id3[7] & 0x7f) << 14) |
                       (int64_t(id3[8] & 0x7f) << 7) | int64_t(id3[9] & 0x7f));
        if (id3[5] & 0x10)
            offset += 10;
    }
    // The header sits in the first frame, at most a few kilobytes after the tag.
    std::vector<uint8_t> head(4096);
    const int64_t got = m_file->read(offset, head.data(), head.size());
    head.resize(static_cast<std::size_t>(std::max<int64_t>(got, 0)));
    for (std::size_t tag = 0; tag + 16 <= head.size(); ++tag) {
        const uint8_t *p = head.data() + tag;
        if (std::memcmp(p, "Xing", 4) != 0 && std::memcmp(p, "Info", 4) != 0)
            continue;
        const uint32_t flags = bigEndian32(p + 4);
        if ((flags & 0x2) == 0)
            return true;
        const uint32_t streamBytes = bigEndian32(p + ((flags & 0x1) ? 12 : 8));
        // The stream starts at the frame holding the header: find its sync word.
        std::size_t frameStart = tag;
        while (frameStart > 0 &&
               !(head[frameStart] == 0xff && (head[frameStart + 1] & 0xe0) == 0xe0))
            --frameStart;
        const int64_t end = m_file->size() - (endsWithId3v1Tag() ? 128 : 0);
        return std::max<int64_t>(end - offset - int64_t(frameStart), 0) >= int64_t(streamBytes);
    }
    return true;
}

bool Mp3Source::endsWithId3v1Tag()
{
    char tag[3];
    return m_file->size() >= 128 && m_file->read(m_file->size() - 128, tag, sizeof tag) == 3 &&
           std::memcmp(tag, "TAG", 3) == 0;
}

bool Mp3Source::formatUnchanged() const
{
    long rate = 0;
    int channels = 0;
    int encoding = 0;
    return mpg123_getformat(m_handle.get(), &rate, &channels, &encoding) == MPG123_OK &&
           rate == m_sampleRate && channels == m_channels;
}

int64_t Mp3Source::read(int16_t *out, int64_t maxFrames)
{
    const int64_t wanted = std::min(maxFrames, m_frameCount - m_delivered);
    if (wanted <= 0)
        return 0;
    const std::size_t frameBytes = sizeof(int16_t) * static_cast<std::size_t>(m_channels);
    auto *target = reinterpret_cast<unsigned char *>(out);
    std::size_t total = 0;
    const std::size_t goal = static_cast<std::size_t>(wanted) * frameBytes;
    while (total < goal) {
        size_t done = 0;
        const int result = mpg123_read(m_handle.get(), target + total, goal - total, &done);
        total += done;
        if (result == MPG123_DONE)
            break;
        if (result == MPG123_NEW_FORMAT && formatUnchanged())
            continue;
        if (result != MPG123_OK) {
            if (total < frameBytes)
                return -1;
            break;
        }
        if (done == 0)
            break;
    }
    const auto frames = static_cast<int64_t>(total / frameBytes);
    m_delivered += frames;
    return frames;
}

} // namespace audio
