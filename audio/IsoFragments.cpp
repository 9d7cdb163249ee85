#include "IsoFragments.h"

#include "BufferedFileReader.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace audio {

namespace {

// "tfhd" flags: which optional fields follow the track ID.
constexpr uint32_t BaseDataOffset = 0x000001;
constexpr uint32_t SampleDescriptionIndex = 0x000002;
constexpr uint32_t DefaultSampleDuration = 0x000008;
constexpr uint32_t DefaultSampleSize = 0x000010;
// "trun" flags: the optional fields before the table, and the fields of each
// of its rows.
constexpr uint32_t DataOffset = 0x000001;
constexpr uint32_t FirstSampleFlags = 0x000004;
constexpr uint32_t RowFields = 0x000f00;
constexpr uint32_t SampleSizeField = 0x000200;

std::optional<uint32_t> read32(BufferedFileReader &file, int64_t offset, int64_t end)
{
    uint8_t bytes[4];
    if (end - offset < 4 || file.read(offset, bytes, 4) != 4)
        return std::nullopt;
    return qFromBigEndian<quint32>(bytes);
}

struct Box
{
    char type[4];
    int64_t body = 0;
    int64_t end = 0;
};

// The box whose header starts at offset, inside a parent that ends at end.
// A box that claims to run past its parent is cut at the parent's end, the
// way FFmpeg reads it; a size of 0 runs to the parent's end. nullopt where no
// header fits or its size is smaller than the header.
std::optional<Box> boxAt(BufferedFileReader &file, int64_t offset, int64_t end)
{
    uint8_t head[16];
    if (end - offset < 8 || file.read(offset, head, 8) != 8)
        return std::nullopt;
    uint64_t length = qFromBigEndian<quint32>(head);
    int64_t headerBytes = 8;
    if (length == 1) {
        if (end - offset < 16 || file.read(offset + 8, head + 8, 8) != 8)
            return std::nullopt;
        length = qFromBigEndian<quint64>(head + 8);
        headerBytes = 16;
    } else if (length == 0) {
        length = uint64_t(end - offset);
    }
    if (length < uint64_t(headerBytes))
        return std::nullopt;
    Box box;
    std::memcpy(box.type, head + 4, 4);
    box.body = offset + headerBytes;
    box.end = length > uint64_t(end - offset) ? end : offset + int64_t(length);
    return box;
}

void forEachBox(BufferedFileReader &file, int64_t begin, int64_t end,
                const std::function<void(const Box &)> &visit)
{
    for (int64_t offset = begin; offset < end;) {
        const std::optional<Box> box = boxAt(file, offset, end);
        if (!box)
            return;
        visit(*box);
        offset = box->end;
    }
}

bool isType(const Box &box, const char *type)
{
    return std::memcmp(box.type, type, 4) == 0;
}

// a + b, or INT64_MAX where that overflows.
int64_t saturatedSum(int64_t a, int64_t b)
{
    int64_t sum = 0;
    return __builtin_add_overflow(a, b, &sum) ? INT64_MAX : sum;
}

// Each track's default sample size, from "trex" boxes: track ID, size.
using TrackDefaults = std::vector<std::pair<uint32_t, uint32_t>>;

TrackDefaults trackDefaults(BufferedFileReader &file, const Box &moov)
{
    TrackDefaults defaults;
    forEachBox(file, moov.body, moov.end, [&](const Box &mvex) {
        if (!isType(mvex, "mvex"))
            return;
        forEachBox(file, mvex.body, mvex.end, [&](const Box &trex) {
            // Version and flags, track ID, sample description index,
            // duration, size.
            const std::optional<uint32_t> track = read32(file, trex.body + 4, trex.end);
            const std::optional<uint32_t> size = read32(file, trex.body + 16, trex.end);
            if (isType(trex, "trex") && track && size)
                defaults.emplace_back(*track, *size);
        });
    });
    return defaults;
}

// The fewest bytes one "trun" box's samples take up, where those the box
// lists no size for are shared bytes each.
int64_t runBytes(BufferedFileReader &file, const Box &trun, uint32_t shared)
{
    const std::optional<uint32_t> versionAndFlags = read32(file, trun.body, trun.end);
    const std::optional<uint32_t> count = read32(file, trun.body + 4, trun.end);
    if (!versionAndFlags || !count)
        return 0;
    const uint32_t flags = *versionAndFlags & 0xffffff;
    const int64_t tableStart =
        trun.body + 8 + ((flags & DataOffset) ? 4 : 0) + ((flags & FirstSampleFlags) ? 4 : 0);
    const int64_t rowBytes = 4 * __builtin_popcount(flags & RowFields);
    if (rowBytes > 0 &&
        (trun.end < tableStart || int64_t(*count) > (trun.end - tableStart) / rowBytes))
        return INT64_MAX;
    if (flags & SampleSizeField)
        return *count;
    int64_t bytes = 0;
    return __builtin_mul_overflow(int64_t(*count), std::max<int64_t>(shared, 1), &bytes) ? INT64_MAX
                                                                                         : bytes;
}

int64_t fragmentBytes(BufferedFileReader &file, const Box &moof, const TrackDefaults &tracks)
{
    int64_t bytes = 0;
    forEachBox(file, moof.body, moof.end, [&](const Box &traf) {
        if (!isType(traf, "traf"))
            return;
        uint32_t shared = 0;
        forEachBox(file, traf.body, traf.end, [&](const Box &box) {
            if (isType(box, "tfhd")) {
                const std::optional<uint32_t> versionAndFlags = read32(file, box.body, box.end);
                const std::optional<uint32_t> track = read32(file, box.body + 4, box.end);
                if (!versionAndFlags || !track)
                    return;
                shared = 0;
                for (const auto &[id, size] : tracks)
                    if (id == *track)
                        shared = size;
                const uint32_t flags = *versionAndFlags & 0xffffff;
                if (flags & DefaultSampleSize) {
                    const int64_t at = box.body + 8 + ((flags & BaseDataOffset) ? 8 : 0) +
                                       ((flags & SampleDescriptionIndex) ? 4 : 0) +
                                       ((flags & DefaultSampleDuration) ? 4 : 0);
                    if (const std::optional<uint32_t> size = read32(file, at, box.end))
                        shared = *size;
                }
            } else if (isType(box, "trun")) {
                bytes = saturatedSum(bytes, runBytes(file, box, shared));
            }
        });
    });
    return bytes;
}

} // namespace

int64_t IsoFragments::leastSampleBytes(BufferedFileReader &file)
{
    TrackDefaults tracks;
    int64_t bytes = 0;
    forEachBox(file, 0, file.size(), [&](const Box &box) {
        if (isType(box, "moov"))
            tracks = trackDefaults(file, box);
        else if (isType(box, "moof"))
            bytes = saturatedSum(bytes, fragmentBytes(file, box, tracks));
    });
    return bytes;
}

} // namespace audio
