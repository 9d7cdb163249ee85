#include "MatroskaBlocks.h"

#include "BufferedFileReader.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace audio {

namespace {

constexpr uint32_t EbmlHeaderId = 0x1A45DFA3;
constexpr uint32_t SegmentId = 0x18538067;
constexpr uint32_t ClusterId = 0x1F43B675;
constexpr uint32_t TracksId = 0x1654AE6B;
constexpr uint32_t TrackEntryId = 0xAE;
constexpr uint32_t TrackNumberId = 0xD7;
constexpr uint32_t TrackTypeId = 0x83;
constexpr uint32_t CodecIdId = 0x86;
constexpr uint32_t ContentEncodingsId = 0x6D80;
constexpr uint64_t AudioTrackType = 2;
constexpr uint32_t SimpleBlockId = 0xA3;
constexpr uint32_t BlockGroupId = 0xA0;
constexpr uint32_t BlockId = 0xA1;
constexpr uint32_t DiscardPaddingId = 0x75A2;

// The segment's own children: one of these ends a cluster of unknown size.
bool isTopLevel(uint32_t id)
{
    switch (id) {
    case 0x114D9B74: // SeekHead
    case 0x1549A966: // Info
    case TracksId:
    case ClusterId:
    case 0x1C53BB6B: // Cues
    case 0x1043A770: // Chapters
    case 0x1254C367: // Tags
    case 0x1941A469: // Attachments
        return true;
    default:
        return false;
    }
}

Failure malformed(const char *what)
{
    return Failure{QStringLiteral("not a Matroska layout the walk reads: %1").arg(what)};
}

struct Element
{
    uint32_t id = 0;
    int64_t body = 0;
    // -1 where the size is unknown.
    int64_t size = -1;
    [[nodiscard]] int64_t end() const { return body + size; }
};

class Walk
{
  public:
    Walk(BufferedFileReader &file, QByteArray codec, const MatroskaBlocks::Visitor &visit)
        : m_file(file), m_codec(std::move(codec)), m_visit(visit)
    {}

    Result<void> run();

  private:
    // The element whose header starts at offset, inside [offset, limit); an
    // element of known size must end by limit.
    Result<Element> element(int64_t offset, int64_t limit);
    Result<uint64_t> unsignedValue(const Element &e);
    Result<void> tracks(const Element &tracks);
    // Returns where the cluster ended (its size may be unknown).
    Result<int64_t> cluster(const Element &cluster, int64_t segmentEnd);
    Result<void> blockGroup(const Element &group);
    Result<void> block(int64_t body, int64_t end, int64_t discardPadding);
    Result<void> lacedFrames(int lacing, int64_t at, int64_t end);

    // Up to count bytes from offset on, not past limit: how many there are
    // (-1 on an I/O error), from a small window kept over the file, as a
    // block's element header, block header and first bytes lie together.
    int64_t peek(int64_t offset, int64_t count, int64_t limit, const uint8_t **bytes);

    BufferedFileReader &m_file;
    std::array<uint8_t, 32> m_window{};
    int64_t m_windowAt = -1;
    int64_t m_windowBytes = 0;
    const QByteArray m_codec;
    const MatroskaBlocks::Visitor &m_visit;
    uint64_t m_track = 0;
    bool m_trackListed = false;
};

int64_t Walk::peek(int64_t offset, int64_t count, int64_t limit, const uint8_t **bytes)
{
    count = std::min(count, limit - offset);
    if (count <= 0)
        return 0;
    if (m_windowAt < 0 || offset < m_windowAt || offset + count > m_windowAt + m_windowBytes) {
        m_windowAt = -1;
        const int64_t got = m_file.read(offset, m_window.data(), m_window.size());
        if (got < 0)
            return -1;
        m_windowAt = offset;
        m_windowBytes = got;
    }
    *bytes = m_window.data() + (offset - m_windowAt);
    return std::min(count, m_windowAt + m_windowBytes - offset);
}

Result<Element> Walk::element(int64_t offset, int64_t limit)
{
    const uint8_t *bytes = nullptr;
    // An ID of up to 4 bytes, a size of up to 8.
    const int64_t got = peek(offset, 12, limit, &bytes);
    if (got < 0)
        return Failure{QStringLiteral("the file cannot be read")};
    const MatroskaBlocks::Number id = MatroskaBlocks::parseNumber(bytes, got, 4, true);
    if (id.bytes == 0)
        return malformed("an element ID");
    const MatroskaBlocks::Number size =
        MatroskaBlocks::parseNumber(bytes + id.bytes, got - id.bytes, 8, false);
    if (size.bytes == 0)
        return malformed("an element size");
    Element e;
    e.id = static_cast<uint32_t>(id.value);
    e.body = offset + id.bytes + size.bytes;
    if (!size.unknown) {
        if (size.value > uint64_t(limit - e.body))
            return malformed("an element runs past its parent");
        e.size = static_cast<int64_t>(size.value);
    }
    return e;
}

Result<uint64_t> Walk::unsignedValue(const Element &e)
{
    std::array<uint8_t, 8> bytes{};
    if (e.size < 1 || e.size > 8 ||
        m_file.read(e.body, bytes.data(), std::size_t(e.size)) != e.size)
        return malformed("an integer");
    uint64_t value = 0;
    for (int64_t i = 0; i < e.size; ++i)
        value = (value << 8) | bytes[std::size_t(i)];
    return value;
}

Result<void> Walk::tracks(const Element &tracks)
{
    if (m_trackListed)
        return malformed("a second list of tracks");
    int audioTracks = 0;
    for (int64_t at = tracks.body; at < tracks.end();) {
        const Result<Element> entry = element(at, tracks.end());
        if (!entry || entry->size < 0)
            return entry ? malformed("a track of unknown size") : Failure{entry.error()};
        at = entry->end();
        if (entry->id != TrackEntryId)
            continue;
        uint64_t number = 0;
        uint64_t type = 0;
        QByteArray codec;
        bool encoded = false;
        for (int64_t in = entry->body; in < entry->end();) {
            const Result<Element> field = element(in, entry->end());
            if (!field || field->size < 0)
                return field ? malformed("a track field of unknown size") : Failure{field.error()};
            in = field->end();
            if (field->id == ContentEncodingsId) {
                encoded = true;
            } else if (field->id == TrackNumberId || field->id == TrackTypeId) {
                const Result<uint64_t> value = unsignedValue(field.value());
                if (!value)
                    return Failure{value.error()};
                (field->id == TrackNumberId ? number : type) = value.value();
            } else if (field->id == CodecIdId && field->size <= 64) {
                codec.resize(field->size);
                if (m_file.read(field->body, codec.data(), std::size_t(field->size)) != field->size)
                    return malformed("a codec ID");
            }
        }
        if (type != AudioTrackType)
            continue;
        if (++audioTracks > 1)
            return malformed("more than one audio track");
        if (codec != m_codec)
            return malformed("another codec");
        if (encoded)
            return malformed("the track's frames are stored encoded");
        m_track = number;
    }
    if (audioTracks == 0)
        return malformed("no audio track");
    m_trackListed = true;
    return {};
}

Result<void> Walk::lacedFrames(int lacing, int64_t at, int64_t end)
{
    // Lace sizes lie in the first bytes; 255 frames need a few hundred.
    std::array<uint8_t, 4096> bytes{};
    const int64_t got = m_file.read(
        at, bytes.data(), std::size_t(std::min<int64_t>(int64_t(bytes.size()), end - at)));
    if (got < 1)
        return malformed("a lace count");
    const int count = bytes[0] + 1;
    std::vector<int64_t> sizes;
    sizes.reserve(std::size_t(count));
    int64_t used = 1;
    if (lacing == 1) { // Xiph: each size a run of 255s and the byte that ends it.
        for (int i = 0; i + 1 < count; ++i) {
            int64_t size = 0;
            uint8_t byte = 255;
            while (byte == 255) {
                if (used >= got)
                    return malformed("Xiph lace sizes");
                byte = bytes[std::size_t(used++)];
                size += byte;
            }
            sizes.push_back(size);
        }
    } else if (lacing == 3) { // EBML: the first size, then signed differences.
        int64_t size = 0;
        for (int i = 0; i + 1 < count; ++i) {
            const MatroskaBlocks::Number n =
                MatroskaBlocks::parseNumber(bytes.data() + used, got - used, 8, false);
            if (n.bytes == 0 || n.unknown)
                return malformed("EBML lace sizes");
            used += n.bytes;
            if (i == 0) {
                size = static_cast<int64_t>(n.value);
            } else {
                const int64_t bias = (int64_t(1) << (7 * n.bytes - 1)) - 1;
                size += static_cast<int64_t>(n.value) - bias;
            }
            if (size < 0 || size > end - at)
                return malformed("EBML lace sizes");
            sizes.push_back(size);
        }
    } else { // Fixed: equal shares of what follows the count.
        if ((end - at - 1) % count != 0)
            return malformed("fixed lacing that does not divide");
        sizes.assign(std::size_t(count - 1), (end - at - 1) / count);
    }
    int64_t offset = at + used;
    for (const int64_t size : sizes) {
        if (size > end - offset)
            return malformed("lace sizes past the block");
        if (Result<void> r = m_visit(MatroskaBlocks::Frame{offset, size, 0}); !r)
            return r;
        offset += size;
    }
    return m_visit(MatroskaBlocks::Frame{offset, end - offset, 0});
}

Result<void> Walk::block(int64_t body, int64_t end, int64_t discardPadding)
{
    const uint8_t *bytes = nullptr;
    // The track, a 16-bit time, the flags; then the first bytes of the frame.
    const int64_t got = peek(body, 8 + 3 + MatroskaBlocks::HeadBytes, end, &bytes);
    if (got < 0)
        return Failure{QStringLiteral("the file cannot be read")};
    const MatroskaBlocks::Number track = MatroskaBlocks::parseNumber(bytes, got, 8, false);
    if (track.bytes == 0 || got < track.bytes + 3)
        return malformed("a block header");
    if (track.value != m_track)
        return {};
    const int lacing = (bytes[track.bytes + 2] >> 1) & 3;
    const int64_t frames = body + track.bytes + 3;
    if (lacing == 0) {
        MatroskaBlocks::Frame frame{frames, end - frames, discardPadding};
        frame.headBytes = static_cast<int>(std::min<int64_t>(
            {got - track.bytes - 3, end - frames, int64_t(MatroskaBlocks::HeadBytes)}));
        std::copy_n(bytes + track.bytes + 3, frame.headBytes, frame.head.begin());
        return m_visit(frame);
    }
    if (discardPadding != 0)
        return malformed("padding on a laced block");
    return lacedFrames(lacing, frames, end);
}

Result<void> Walk::blockGroup(const Element &group)
{
    int64_t blockBody = -1;
    int64_t blockEnd = -1;
    int64_t discardPadding = 0;
    for (int64_t at = group.body; at < group.end();) {
        const Result<Element> child = element(at, group.end());
        if (!child || child->size < 0)
            return child ? malformed("a block group child of unknown size")
                         : Failure{child.error()};
        at = child->end();
        if (child->id == BlockId) {
            if (blockBody >= 0)
                return malformed("two blocks in a group");
            blockBody = child->body;
            blockEnd = child->end();
        } else if (child->id == DiscardPaddingId) {
            const Result<uint64_t> raw = unsignedValue(child.value());
            if (!raw)
                return Failure{raw.error()};
            // Signed, as wide as its bytes.
            const int shift = 64 - 8 * static_cast<int>(child->size);
            discardPadding = static_cast<int64_t>(raw.value() << shift) >> shift;
        }
    }
    if (blockBody < 0)
        return malformed("a block group without a block");
    return block(blockBody, blockEnd, discardPadding);
}

Result<int64_t> Walk::cluster(const Element &cluster, int64_t segmentEnd)
{
    const bool sized = cluster.size >= 0;
    const int64_t limit = sized ? cluster.end() : segmentEnd;
    int64_t at = cluster.body;
    while (at < limit) {
        const Result<Element> child = element(at, limit);
        if (!child)
            return Failure{child.error()};
        if (!sized && isTopLevel(child->id))
            return at;
        if (child->size < 0)
            return malformed("a cluster child of unknown size");
        if (child->id == SimpleBlockId) {
            if (Result<void> r = block(child->body, child->end(), 0); !r)
                return Failure{r.error()};
        } else if (child->id == BlockGroupId) {
            if (Result<void> r = blockGroup(child.value()); !r)
                return Failure{r.error()};
        }
        at = child->end();
    }
    return limit;
}

Result<void> Walk::run()
{
    const int64_t size = m_file.size();
    const Result<Element> header = element(0, size);
    if (!header || header->id != EbmlHeaderId || header->size < 0)
        return malformed("the EBML header");
    const Result<Element> segment = element(header->end(), size);
    if (!segment || segment->id != SegmentId)
        return malformed("the segment");
    const int64_t segmentEnd = segment->size >= 0 ? segment->end() : size;
    for (int64_t at = segment->body; at < segmentEnd;) {
        const Result<Element> child = element(at, segmentEnd);
        if (!child)
            return Failure{child.error()};
        if (child->id == ClusterId) {
            if (!m_trackListed)
                return malformed("a cluster before the track is listed");
            const Result<int64_t> end = cluster(child.value(), segmentEnd);
            if (!end)
                return Failure{end.error()};
            at = end.value();
            continue;
        }
        if (child->size < 0)
            return malformed("an element of unknown size");
        if (child->id == TracksId) {
            if (Result<void> r = tracks(child.value()); !r)
                return r;
        }
        at = child->end();
    }
    if (!m_trackListed)
        return malformed("no list of tracks");
    return {};
}

} // namespace

MatroskaBlocks::Number MatroskaBlocks::parseNumber(const uint8_t *p, int64_t available,
                                                   int maxBytes, bool keepMarker)
{
    Number number;
    if (available < 1 || p[0] == 0)
        return number;
    const int length = __builtin_clz(static_cast<unsigned>(p[0])) - 23;
    if (length > maxBytes || length > available)
        return number;
    const auto valueBits = uint8_t((0x80 >> (length - 1)) - 1);
    uint64_t value = keepMarker ? p[0] : p[0] & valueBits;
    bool allOnes = (p[0] & valueBits) == valueBits;
    for (int i = 1; i < length; ++i) {
        value = (value << 8) | p[i];
        allOnes = allOnes && p[i] == 0xff;
    }
    number.value = value;
    number.bytes = length;
    number.unknown = allOnes;
    return number;
}

Result<void> MatroskaBlocks::walk(BufferedFileReader &file, const QByteArray &codec,
                                  const Visitor &visit)
{
    return Walk(file, codec, visit).run();
}

} // namespace audio
