#include "ContainerLayout.h"

#include "BufferedFileReader.h"
#include "MatroskaBlocks.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace audio {

namespace {

uint32_t littleEndian32(const uint8_t *p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

uint32_t bigEndian32(const uint8_t *p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

Failure chunkPastTheEnd()
{
    return Failure{QStringLiteral("truncated or damaged: a chunk runs past the end of the file")};
}

// Ogg's CRC-32: polynomial 0x04c11db7, no reflection, initial value 0.
uint32_t oggChecksum(const uint8_t *data, std::size_t length)
{
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> entries{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i << 24;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 0x80000000u) ? (value << 1) ^ 0x04c11db7u : value << 1;
            entries[i] = value;
        }
        return entries;
    }();
    uint32_t crc = 0;
    for (std::size_t i = 0; i < length; ++i)
        crc = (crc << 8) ^ table[((crc >> 24) ^ data[i]) & 0xff];
    return crc;
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
        if (!found && std::memcmp(chunk, "data", 4) == 0) {
            data.offset = body;
            data.bytes = length;
            found = true;
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
        if (std::memcmp(chunk, "COMM", 4) == 0 && length >= 6) {
            if (file.read(body, chunk + 8, 6) != 6)
                return Failure{QStringLiteral("cannot read the file")};
            data.declaredFrames = bigEndian32(chunk + 10);
        } else if (!found && std::memcmp(chunk, "SSND", 4) == 0 && length >= 8) {
            if (file.read(body, chunk + 8, 8) != 8)
                return Failure{QStringLiteral("cannot read the file")};
            const int64_t skip = bigEndian32(chunk + 8);
            if (skip > length - 8)
                return chunkPastTheEnd();
            data.offset = body + 8 + skip;
            data.bytes = length - 8 - skip;
            found = true;
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

bool ContainerLayout::isoFragmented(BufferedFileReader &file)
{
    const int64_t size = file.size();
    for (int64_t offset = 0; offset + 8 <= size;) {
        uint8_t box[16];
        if (file.read(offset, box, 8) != 8)
            return false;
        if (std::memcmp(box + 4, "moof", 4) == 0)
            return true;
        int64_t length = bigEndian32(box);
        if (length == 1 && file.read(offset + 8, box + 8, 8) == 8)
            length = static_cast<int64_t>((uint64_t(bigEndian32(box + 8)) << 32) |
                                          bigEndian32(box + 12));
        if (length < 8)
            return false;
        offset += length;
    }
    return false;
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

bool ContainerLayout::matroskaSegmentFits(BufferedFileReader &file)
{
    using Number = MatroskaBlocks::Number;
    const auto readNumber = [&file](int64_t offset, bool keepMarker) {
        uint8_t bytes[8];
        const int64_t got = file.read(offset, bytes, sizeof bytes);
        return MatroskaBlocks::parseNumber(bytes, got, 8, keepMarker);
    };
    const int64_t size = file.size();
    int64_t offset = 0;
    // The EBML header, then the segment.
    for (int element = 0; element < 2; ++element) {
        const Number id = readNumber(offset, true);
        if (id.bytes == 0)
            return false;
        const Number length = readNumber(offset + id.bytes, false);
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

Result<int64_t> ContainerLayout::wavPackFrameAt(BufferedFileReader &file, int64_t index)
{
    // "wvpk", the block's size after these 8 bytes, version (2), the high
    // bytes of the block index and of the total (1 each), the total (4), the
    // block index (4), its samples (4), flags (4) and a checksum (4).
    constexpr int HeaderBytes = 32;
    constexpr uint32_t FirstOfFrame = 0x800;
    uint8_t header[HeaderBytes];
    if (file.read(0, header, sizeof header) != HeaderBytes || std::memcmp(header, "wvpk", 4) != 0)
        return Failure{QStringLiteral("not a WavPack file")};
    file.setBlockSize(HeaderBytes);
    int64_t found = 0;
    const int64_t size = file.size();
    for (int64_t offset = 0; offset + HeaderBytes <= size;) {
        if (file.read(offset, header, sizeof header) != HeaderBytes ||
            std::memcmp(header, "wvpk", 4) != 0)
            break;
        const int64_t first = littleEndian32(header + 16) | (int64_t(header[10]) << 32);
        if (first > index)
            break;
        if ((littleEndian32(header + 24) & FirstOfFrame) != 0)
            found = offset;
        const int64_t length = littleEndian32(header + 4);
        if (length < HeaderBytes - 8)
            break;
        offset += 8 + length;
    }
    file.setBlockSize(BufferedFileReader::DefaultBlockSize);
    return found;
}

Result<int64_t> ContainerLayout::wavPackFrameFromEnd(BufferedFileReader &file, int64_t index,
                                                     int64_t total)
{
    constexpr int64_t HeaderBytes = 32;
    constexpr uint32_t FirstOfFrame = 0x800;
    constexpr int64_t FirstWindow = int64_t(1) << 17;
    // Blocks are below 1 MiB; a frame of several channels' blocks, and the
    // frame after the one sought, stay well within this.
    constexpr int64_t LastWindow = int64_t(1) << 22;
    const int64_t size = file.size();
    std::vector<uint8_t> tail;
    for (int64_t window = std::min(size, FirstWindow);;
         window = std::min({size, LastWindow, 2 * window})) {
        const int64_t base = size - window;
        tail.resize(static_cast<std::size_t>(window));
        if (file.read(base, tail.data(), tail.size()) != window)
            return Failure{QStringLiteral("the file changed while it was read")};
        // The block the chain has reached, and its first sample and count.
        int64_t next = -1;
        int64_t nextFirst = 0;
        int64_t nextSamples = 0;
        for (int64_t at = window - HeaderBytes; at >= 0; --at) {
            const uint8_t *header = tail.data() + at;
            if (header[0] != 'w' || std::memcmp(header, "wvpk", 4) != 0)
                continue;
            const int version = header[8] | (header[9] << 8);
            const int64_t end = base + at + 8 + littleEndian32(header + 4);
            const int64_t first = littleEndian32(header + 16) | (int64_t(header[10]) << 32);
            const int64_t samples = littleEndian32(header + 20);
            if (version < 0x402 || version > 0x410 || samples == 0)
                continue;
            if (next < 0) {
                if (first + samples != total || end > size)
                    continue;
            } else if (end != next || !(first + samples == nextFirst ||
                                        (first == nextFirst && samples == nextSamples))) {
                continue;
            }
            if ((littleEndian32(header + 24) & FirstOfFrame) != 0 && first <= index)
                return base + at;
            next = base + at;
            nextFirst = first;
            nextSamples = samples;
        }
        if (window == size || window == LastWindow)
            return Failure{QStringLiteral("no chain of WavPack blocks from the end")};
    }
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
        const uint32_t computed = oggChecksum(page, static_cast<std::size_t>(pageBytes));
        std::memcpy(page + 22, stored, 4);
        if (computed != littleEndian32(stored))
            continue;
        return (page[5] & 0x04) != 0;
    }
    return false;
}

} // namespace audio
