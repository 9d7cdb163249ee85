#include "ContainerLayout.h"

#include "BufferedFileReader.h"

#include <QtEndian>

extern "C" {
#include <libavutil/crc.h>
}

#include <algorithm>
#include <cstring>
#include <vector>

namespace audio {

namespace {

uint32_t littleEndian32(const uint8_t *p)
{
    return qFromLittleEndian<uint32_t>(p);
}

uint32_t bigEndian32(const uint8_t *p)
{
    return qFromBigEndian<uint32_t>(p);
}

Failure chunkPastTheEnd()
{
    return Failure{QStringLiteral("truncated or damaged: a chunk runs past the end of the file")};
}

} // namespace

Result<ContainerLayout::AudioData> ContainerLayout::riffWaveData(BufferedFileReader &file)
{
    const int64_t size = file.size();
    uint8_t head[12];
    if (file.read(0, head, sizeof head) != sizeof head || std::memcmp(head, "RIFF", 4) != 0 ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return Failure{QStringLiteral("not a RIFF/WAVE file")};
    AudioData data;
    bool found = false;
    for (int64_t offset = 12; offset + 8 <= size;) {
        uint8_t chunk[8];
        if (file.read(offset, chunk, sizeof chunk) != sizeof chunk)
            return Failure{QStringLiteral("cannot read the file")};
        const int64_t length = littleEndian32(chunk + 4);
        const int64_t body = offset + 8;
        if (length > size - body)
            return chunkPastTheEnd();
        // What follows the samples is not read: a walk over a long tail of
        // zeros would take seconds.
        if (std::memcmp(chunk, "data", 4) == 0) {
            data.offset = body;
            data.bytes = length;
            found = true;
            break;
        }
        offset = body + length + (length & 1);
    }
    if (!found)
        return Failure{QStringLiteral("no data chunk")};
    return data;
}

Result<ContainerLayout::AudioData> ContainerLayout::aiffData(BufferedFileReader &file)
{
    const int64_t size = file.size();
    uint8_t head[12];
    if (file.read(0, head, sizeof head) != sizeof head || std::memcmp(head, "FORM", 4) != 0 ||
        (std::memcmp(head + 8, "AIFF", 4) != 0 && std::memcmp(head + 8, "AIFC", 4) != 0))
        return Failure{QStringLiteral("not an AIFF file")};
    AudioData data;
    bool found = false;
    for (int64_t offset = 12; offset + 8 <= size;) {
        uint8_t chunk[16];
        if (file.read(offset, chunk, 8) != 8)
            return Failure{QStringLiteral("cannot read the file")};
        const int64_t length = bigEndian32(chunk + 4);
        const int64_t body = offset + 8;
        if (length > size - body)
            return chunkPastTheEnd();
        if (std::memcmp(chunk, "SSND", 4) == 0 && length >= 8) {
            if (file.read(body, chunk + 8, 8) != 8)
                return Failure{QStringLiteral("cannot read the file")};
            const int64_t skip = bigEndian32(chunk + 8);
            if (skip > length - 8)
                return chunkPastTheEnd();
            data.offset = body + 8 + skip;
            data.bytes = length - 8 - skip;
            found = true;
            break;
        }
        offset = body + length + (length & 1);
    }
    if (!found)
        return Failure{QStringLiteral("no SSND chunk")};
    return data;
}

namespace {

constexpr int AdtsHeaderBytes = 7;

// The byte length of the ADTS frame whose header this is, or 0 when it is
// none.
int adtsFrameBytes(const uint8_t *header)
{
    // Sync word, then layer 0.
    if (header[0] != 0xff || (header[1] & 0xf6) != 0xf0)
        return 0;
    const int frameBytes = ((header[3] & 0x03) << 11) | (header[4] << 3) | (header[5] >> 5);
    const int rateIndex = (header[2] >> 2) & 0x0f;
    return frameBytes >= AdtsHeaderBytes && rateIndex < 13 ? frameBytes : 0;
}

int adtsSampleRate(const uint8_t *header)
{
    static constexpr int Rates[13] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                      22050, 16000, 12000, 11025, 8000,  7350};
    return Rates[(header[2] >> 2) & 0x0f];
}

// The end of the audio before the tags a file may end with: APEv2 (with its
// own header or without), ID3v1, or both.
int64_t endBeforeTrailingTags(BufferedFileReader &file)
{
    int64_t end = file.size();
    char id3v1[3];
    if (end >= 128 && file.read(end - 128, id3v1, sizeof id3v1) == sizeof id3v1 &&
        std::memcmp(id3v1, "TAG", 3) == 0)
        end -= 128;
    uint8_t ape[32];
    if (end >= 32 && file.read(end - 32, ape, sizeof ape) == sizeof ape &&
        std::memcmp(ape, "APETAGEX", 8) == 0) {
        const int64_t bytes = littleEndian32(ape + 12) + ((ape[23] & 0x80) != 0 ? 32 : 0);
        if (bytes <= end)
            end -= bytes;
    }
    return end;
}

} // namespace

Result<ContainerLayout::AdtsStream> ContainerLayout::adtsStream(BufferedFileReader &file)
{
    // FFmpeg's demuxer starts where two frames follow each other, within the
    // first bytes after the tags.
    constexpr int64_t LargestLeadIn = 64 * 1024;
    int64_t offset = 0;
    uint8_t header[AdtsHeaderBytes];
    for (uint8_t id3[10];
         file.read(offset, id3, sizeof id3) == sizeof id3 && std::memcmp(id3, "ID3", 3) == 0;) {
        offset += 10 + ((int64_t(id3[6] & 0x7f) << 21) | (int64_t(id3[7] & 0x7f) << 14) |
                        (int64_t(id3[8] & 0x7f) << 7) | int64_t(id3[9] & 0x7f));
        if (id3[5] & 0x10)
            offset += 10;
    }
    const int64_t end = endBeforeTrailingTags(file);
    const auto frameAt = [&file, &header, end](int64_t at) {
        return at + AdtsHeaderBytes <= end &&
                       file.read(at, header, sizeof header) == AdtsHeaderBytes
                   ? adtsFrameBytes(header)
                   : 0;
    };
    const int64_t leadInEnd = std::min(end, offset + LargestLeadIn);
    for (;; ++offset) {
        if (offset >= leadInEnd)
            return Failure{QStringLiteral("no ADTS frames")};
        const int bytes = frameAt(offset);
        if (bytes > 0 && (offset + bytes == end || frameAt(offset + bytes) > 0))
            break;
    }
    AdtsStream stream;
    while (offset < end) {
        const int bytes = frameAt(offset);
        if (bytes == 0 && offset + AdtsHeaderBytes > end)
            return Failure{QStringLiteral("truncated: the last ADTS frame is cut short")};
        if (bytes == 0)
            return Failure{QStringLiteral("damaged: no ADTS frame where one should start")};
        if (offset + bytes > end)
            return Failure{QStringLiteral("truncated: the last ADTS frame is cut short")};
        if ((header[6] & 0x03) != 0)
            return Failure{QStringLiteral("ADTS frames of several blocks are not supported")};
        const int rate = adtsSampleRate(header);
        if (stream.sampleRate != 0 && rate != stream.sampleRate)
            return Failure{QStringLiteral("damaged: the ADTS frames change their rate")};
        stream.sampleRate = rate;
        stream.frames += 1024;
        offset += bytes;
    }
    return stream;
}

bool ContainerLayout::isoBoxesFit(BufferedFileReader &file)
{
    const int64_t size = file.size();
    for (int64_t offset = 0; offset + 8 <= size;) {
        uint8_t box[16];
        if (file.read(offset, box, 8) != 8)
            return false;
        int64_t length = bigEndian32(box);
        if (length == 0)
            return true; // runs to the end of the file
        if (length == 1) {
            if (file.read(offset + 8, box + 8, 8) != 8)
                return false;
            const uint64_t large = (uint64_t(bigEndian32(box + 8)) << 32) | bigEndian32(box + 12);
            if (large > uint64_t(size))
                return false;
            length = static_cast<int64_t>(large);
            if (length < 16)
                return false;
        } else if (length < 8) {
            return false;
        }
        if (length > size - offset)
            return false;
        offset += length;
    }
    return true;
}

bool ContainerLayout::asfObjectsFit(BufferedFileReader &file)
{
    constexpr int64_t ObjectHeaderBytes = 24;
    const int64_t size = file.size();
    for (int64_t offset = 0; offset + ObjectHeaderBytes <= size;) {
        uint8_t object[ObjectHeaderBytes];
        if (file.read(offset, object, sizeof object) != ObjectHeaderBytes)
            return false;
        const uint64_t length =
            littleEndian32(object + 16) | (uint64_t(littleEndian32(object + 20)) << 32);
        if (length < uint64_t(ObjectHeaderBytes) || length > uint64_t(size - offset))
            return false;
        offset += static_cast<int64_t>(length);
    }
    return true;
}

namespace {

// An EBML number: an element's ID (marker kept) or size (marker dropped).
struct EbmlNumber
{
    uint64_t value = 0;
    int bytes = 0;        // 0 where none could be read
    bool unknown = false; // a size of all ones: unknown length
};

EbmlNumber ebmlNumber(BufferedFileReader &file, int64_t offset, bool keepMarker)
{
    uint8_t p[8];
    const int64_t got = file.read(offset, p, sizeof p);
    EbmlNumber number;
    if (got < 1 || p[0] == 0)
        return number;
    const int length = __builtin_clz(static_cast<unsigned>(p[0])) - 23;
    if (length > got)
        return number;
    const auto valueBits = uint8_t((0x80 >> (length - 1)) - 1);
    number.value = keepMarker ? p[0] : p[0] & valueBits;
    number.unknown = (p[0] & valueBits) == valueBits;
    for (int i = 1; i < length; ++i) {
        number.value = (number.value << 8) | p[i];
        number.unknown = number.unknown && p[i] == 0xff;
    }
    number.bytes = length;
    return number;
}

} // namespace

bool ContainerLayout::matroskaSegmentFits(BufferedFileReader &file)
{
    const int64_t size = file.size();
    int64_t offset = 0;
    // The EBML header, then the segment.
    for (int element = 0; element < 2; ++element) {
        const EbmlNumber id = ebmlNumber(file, offset, true);
        if (id.bytes == 0)
            return false;
        const EbmlNumber length = ebmlNumber(file, offset + id.bytes, false);
        if (length.bytes == 0)
            return false;
        const int64_t body = offset + id.bytes + length.bytes;
        if (element == 1)
            return id.value != 0x18538067 || length.unknown ||
                   length.value <= uint64_t(std::max<int64_t>(size - body, 0));
        if (length.unknown || length.value > uint64_t(std::max<int64_t>(size - body, 0)))
            return false;
        offset = body + static_cast<int64_t>(length.value);
    }
    return false;
}

bool ContainerLayout::oggEndsWithLastPage(BufferedFileReader &file)
{
    constexpr int64_t HeaderBytes = 27;
    constexpr int64_t LargestPage = HeaderBytes + 255 + 255 * 255;
    constexpr int64_t Id3v1Bytes = 128;
    int64_t end = file.size();
    char tag[3];
    if (end >= Id3v1Bytes && file.read(end - Id3v1Bytes, tag, sizeof tag) == sizeof tag &&
        std::memcmp(tag, "TAG", 3) == 0)
        end -= Id3v1Bytes;
    const int64_t window = std::min(end, LargestPage);
    std::vector<uint8_t> tail(static_cast<std::size_t>(window));
    if (window < HeaderBytes || file.read(end - window, tail.data(), tail.size()) != window)
        return false;
    // The last page is the one that ends exactly at the end; a false capture
    // pattern inside packet data fails its checksum.
    for (int64_t start = window - HeaderBytes; start >= 0; --start) {
        uint8_t *page = tail.data() + start;
        if (std::memcmp(page, "OggS", 4) != 0 || page[4] != 0)
            continue;
        const int64_t segments = page[26];
        if (start + HeaderBytes + segments > window)
            continue;
        int64_t bodyBytes = 0;
        for (int64_t i = 0; i < segments; ++i)
            bodyBytes += page[HeaderBytes + i];
        const int64_t pageBytes = HeaderBytes + segments + bodyBytes;
        if (start + pageBytes != window)
            continue;
        // The checksum is taken with its own field zeroed; the bytes are put
        // back, since a false page may lie inside the true last one.
        uint8_t stored[4];
        std::memcpy(stored, page + 22, 4);
        std::memset(page + 22, 0, 4);
        const uint32_t computed =
            av_crc(av_crc_get_table(AV_CRC_32_IEEE), 0, page, static_cast<std::size_t>(pageBytes));
        std::memcpy(page + 22, stored, 4);
        // FFmpeg's table for this polynomial gives the sum byte-swapped.
        if (computed != bigEndian32(stored))
            continue;
        return (page[5] & 0x04) != 0;
    }
    return false;
}

} // namespace audio
