#include "AsfPayloads.h"

#include "BufferedFileReader.h"

#include <algorithm>
#include <cstring>
#include <deque>

namespace audio {

namespace {

// GUIDs as the file stores them.
constexpr uint8_t HeaderGuid[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                    0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uint8_t FilePropertiesGuid[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                            0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t HeaderExtensionGuid[16] = {0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                             0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t StreamPropertiesGuid[16] = {0x91, 0x07, 0xDC, 0xB7, 0xB7, 0xA9, 0xCF, 0x11,
                                              0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uint8_t DataGuid[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                  0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

constexpr int64_t ObjectHeaderBytes = 24;
// The header object's own fields: child count and two reserved bytes.
constexpr int64_t HeaderObjectBytes = ObjectHeaderBytes + 6;
// A header extension's own fields: a GUID, a word and a size, then objects.
constexpr int64_t HeaderExtensionBytes = ObjectHeaderBytes + 22;
constexpr int64_t FilePropertiesBytes = ObjectHeaderBytes + 80;
// The data object's own fields: file id, packet count, two reserved bytes.
constexpr int64_t DataObjectBytes = ObjectHeaderBytes + 26;
// A stream properties object's fields before its type-specific data: two
// GUIDs, a time offset, two lengths, the flags and a reserved double word.
constexpr int64_t StreamPropertiesBytes = ObjectHeaderBytes + 54;
// The demuxer reads audio spread (span, virtual packet and chunk lengths)
// from the 8 bytes after the type-specific data where the object holds them.
constexpr int64_t SpreadBytes = 8;

// FFmpeg's demuxer stops at the end of the data object only where the object
// is at least this long and the file is no broadcast; otherwise it reads to
// the end of the file.
constexpr uint64_t SmallestDataObjectSizeHonoured = 100;
constexpr uint32_t BroadcastFlag = 0x01;
// The demuxer drops the rest of a packet once fewer used bytes than this are
// left where it looks for the next payload or sub-payload.
constexpr int64_t FewestBytesReadOn = 6;
// The demuxer's limits: packets shorter than 1 << 29 bytes, media objects
// than 1 << 24 (it drops the rest of the packet after a larger one).
constexpr int64_t PacketSizeLimit = int64_t(1) << 29;
constexpr uint32_t ObjectSizeLimit = uint32_t(1) << 24;
// The demuxer's running presentation time of a compressed payload, an int,
// marks that it is inside one while non-zero.
constexpr int64_t RunningTimeLimit = INT32_MAX;

// Error-correction flags with two bytes of data: how every packet of the
// files this walk accepts starts, if it has error correction.
constexpr unsigned ErrorCorrectionFlags = 0x82;

// Reads the fields of a run of bytes in order, up to a limit, through a
// window of a few bytes refilled from the file. Once a field passes the limit
// or cannot be read, failed() stays true and every later field reads as 0.
class FieldReader
{
  public:
    explicit FieldReader(BufferedFileReader &file) : m_file(file) {}

    void start(int64_t at, int64_t limit)
    {
        m_at = at;
        m_limit = limit;
        m_state = State::Reading;
    }
    void setLimit(int64_t limit) { m_limit = limit; }

    [[nodiscard]] int64_t at() const { return m_at; }
    [[nodiscard]] int64_t left() const { return m_limit - m_at; }
    [[nodiscard]] bool failed() const { return m_state != State::Reading; }
    // Why failed(): pastLimit, or that the file could not be read.
    [[nodiscard]] Failure failure(const char *pastLimit) const
    {
        return Failure{m_state == State::Unreadable ? QStringLiteral("cannot read the file")
                                                    : QString::fromLatin1(pastLimit)};
    }

    // bytes: 1 to 8; little-endian.
    uint64_t take(int bytes)
    {
        const uint8_t *p = next(bytes);
        uint64_t value = 0;
        for (int i = bytes - 1; p != nullptr && i >= 0; --i)
            value = (value << 8) | p[i];
        return value;
    }
    // A field of a length type: 0 absent (then absent), 1 a byte, 2 a word, 3
    // a double word.
    uint32_t field(unsigned type, uint32_t absent = 0)
    {
        static constexpr int Bytes[4] = {0, 1, 2, 4};
        return (type & 3) == 0 ? absent : uint32_t(take(Bytes[type & 3]));
    }
    // The next bytes (1 to 64), valid until the next read; null once failed().
    const uint8_t *bytes(int count) { return next(count); }
    void skip(int64_t bytes)
    {
        if (failed())
            return;
        if (bytes > left())
            m_state = State::PastLimit;
        else
            m_at += bytes;
    }

  private:
    enum class State { Reading, PastLimit, Unreadable };
    static constexpr int WindowBytes = 64;

    // The next bytes (at most WindowBytes), or null once failed().
    const uint8_t *next(int bytes)
    {
        if (failed())
            return nullptr;
        if (bytes > left()) {
            m_state = State::PastLimit;
            return nullptr;
        }
        if (m_at < m_windowStart || m_at + bytes > m_windowStart + m_windowLength) {
            const auto wanted = std::size_t(std::min<int64_t>(WindowBytes, left()));
            const int64_t got = m_file.read(m_at, m_window, wanted);
            m_windowStart = m_at;
            m_windowLength = std::max<int64_t>(got, 0);
            if (got < bytes) {
                m_state = State::Unreadable;
                return nullptr;
            }
        }
        const uint8_t *p = m_window + (m_at - m_windowStart);
        m_at += bytes;
        return p;
    }

    BufferedFileReader &m_file;
    int64_t m_at = 0;
    int64_t m_limit = 0;
    State m_state = State::Reading;
    uint8_t m_window[WindowBytes] = {};
    int64_t m_windowStart = 0;
    int64_t m_windowLength = 0;
};

// Where the data packets lie, from the header object and the data object.
struct Layout
{
    int64_t firstPacket = 0;
    int64_t packetBytes = 0;
    int64_t packets = 0;
};

// What the header's objects say about the packets.
struct HeaderFacts
{
    int streamNumber = 0;
    // Whether the demuxer descrambles the stream numbered streamNumber.
    bool descrambled = false;
    bool fileProperties = false;
    int64_t packetBytes = 0;
    uint32_t flags = 0;
};

// The objects from begin to end must fill it exactly. The demuxer walks them
// one after another, into a header extension and out again, and stops at the
// first data object: one inside the header would be the one it reads.
Result<void> readHeaderObjects(FieldReader &fields, int64_t begin, int64_t end, bool inExtension,
                               HeaderFacts &facts)
{
    for (int64_t offset = begin; offset < end;) {
        fields.start(offset, end);
        const uint8_t *guid = fields.bytes(16);
        if (guid == nullptr)
            return fields.failure("the header's objects do not fill it");
        const bool isFileProperties = std::memcmp(guid, FilePropertiesGuid, 16) == 0;
        const bool isExtension = std::memcmp(guid, HeaderExtensionGuid, 16) == 0;
        const bool isStreamProperties = std::memcmp(guid, StreamPropertiesGuid, 16) == 0;
        const bool isData = std::memcmp(guid, DataGuid, 16) == 0;
        const uint64_t size = fields.take(8);
        if (fields.failed())
            return fields.failure("the header's objects do not fill it");
        if (size < uint64_t(ObjectHeaderBytes) || size > uint64_t(end - offset))
            return Failure{QStringLiteral("an object runs past the header")};
        if (isData)
            return Failure{QStringLiteral("a data object inside the header")};
        if (isFileProperties) {
            if (size < uint64_t(FilePropertiesBytes))
                return Failure{QStringLiteral("the file properties are cut short")};
            // File id, file size, creation date, packet count, play and send
            // durations, preroll.
            fields.skip(64);
            facts.flags = uint32_t(fields.take(4));
            const uint32_t smallest = uint32_t(fields.take(4));
            const uint32_t largest = uint32_t(fields.take(4));
            if (fields.failed())
                return fields.failure("the file properties are cut short");
            if (smallest != largest || largest == 0 || largest >= PacketSizeLimit)
                return Failure{QStringLiteral("data packets of varying or unusable size")};
            facts.packetBytes = largest;
            facts.fileProperties = true;
        }
        if (isStreamProperties && size >= uint64_t(StreamPropertiesBytes)) {
            fields.skip(40); // stream type, error correction type, time offset
            const auto typeSpecificBytes = int64_t(fields.take(4));
            fields.skip(4);
            const auto number = int(fields.take(2) & 0x7f);
            fields.skip(4 + typeSpecificBytes);
            if (number == facts.streamNumber &&
                size >= uint64_t(StreamPropertiesBytes + typeSpecificBytes + SpreadBytes)) {
                const auto span = unsigned(fields.take(1));
                const auto packetBytes = unsigned(fields.take(2));
                const auto chunkBytes = unsigned(fields.take(2));
                if (fields.failed())
                    return fields.failure("the stream properties are cut short");
                // As the demuxer decides it.
                facts.descrambled = span > 1 && chunkBytes != 0 && packetBytes / chunkBytes > 1 &&
                                    packetBytes % chunkBytes == 0;
            } else if (number == facts.streamNumber) {
                facts.descrambled = false;
            }
        }
        if (isExtension) {
            if (inExtension)
                return Failure{QStringLiteral("a header extension inside another")};
            if (size < uint64_t(HeaderExtensionBytes))
                return Failure{QStringLiteral("the header extension is cut short")};
            const int64_t extensionEnd = offset + int64_t(size);
            if (Result<void> inner = readHeaderObjects(fields, offset + HeaderExtensionBytes,
                                                       extensionEnd, true, facts);
                !inner)
                return inner;
        }
        offset += int64_t(size);
    }
    return {};
}

Result<Layout> readLayout(BufferedFileReader &file, FieldReader &fields, int streamNumber)
{
    const int64_t fileBytes = file.size();
    fields.start(0, fileBytes);
    const uint8_t *guid = fields.bytes(16);
    const bool isAsf = guid != nullptr && std::memcmp(guid, HeaderGuid, 16) == 0;
    const uint64_t headerSize = fields.take(8);
    if (fields.failed() || !isAsf)
        return Failure{QStringLiteral("not an ASF file")};
    if (headerSize < uint64_t(HeaderObjectBytes) || headerSize > uint64_t(fileBytes))
        return Failure{QStringLiteral("the header runs past the end of the file")};
    const auto headerEnd = int64_t(headerSize);
    HeaderFacts facts;
    facts.streamNumber = streamNumber;
    if (Result<void> objects =
            readHeaderObjects(fields, HeaderObjectBytes, headerEnd, false, facts);
        !objects)
        return Failure{objects.error()};
    if (!facts.fileProperties)
        return Failure{QStringLiteral("no file properties")};
    if (facts.descrambled)
        return Failure{QStringLiteral("the demuxer descrambles the stream")};

    fields.start(headerEnd, fileBytes);
    guid = fields.bytes(16);
    const bool isData = guid != nullptr && std::memcmp(guid, DataGuid, 16) == 0;
    const uint64_t dataSize = fields.take(8);
    fields.skip(16); // file id
    const uint64_t totalPackets = fields.take(8);
    fields.skip(2);
    if (fields.failed() || !isData)
        return Failure{QStringLiteral("no data object after the header")};

    Layout layout;
    layout.firstPacket = headerEnd + DataObjectBytes;
    layout.packetBytes = facts.packetBytes;
    int64_t end = fileBytes;
    const bool sizeHonoured =
        (facts.flags & BroadcastFlag) == 0 && dataSize >= SmallestDataObjectSizeHonoured;
    if (sizeHonoured && dataSize <= uint64_t(fileBytes - headerEnd)) {
        end = headerEnd + int64_t(dataSize);
        if ((end - layout.firstPacket) % layout.packetBytes != 0)
            return Failure{QStringLiteral("the data object holds no whole number of packets")};
    } else if ((end - layout.firstPacket) % layout.packetBytes != 0) {
        return Failure{QStringLiteral("a packet is cut short by the end of the file")};
    }
    layout.packets = (end - layout.firstPacket) / layout.packetBytes;
    if (totalPackets != 0 && totalPackets != uint64_t(layout.packets))
        return Failure{QStringLiteral("the data object counts other packets than it holds")};
    return layout;
}

// The last bytes of a stream, as ranges of the file.
class Tail
{
  public:
    explicit Tail(int64_t wanted) : m_wanted(wanted) {}

    void add(int64_t offset, int64_t bytes)
    {
        if (m_wanted == 0 || bytes == 0)
            return;
        m_ranges.push_back({offset, bytes});
        m_held += bytes;
        while (m_held - m_ranges.front().bytes >= m_wanted) {
            m_held -= m_ranges.front().bytes;
            m_ranges.pop_front();
        }
    }

    [[nodiscard]] std::vector<AsfPayloads::Range> ranges() const
    {
        std::vector<AsfPayloads::Range> ranges(m_ranges.begin(), m_ranges.end());
        if (m_held > m_wanted) {
            ranges.front().offset += m_held - m_wanted;
            ranges.front().bytes -= m_held - m_wanted;
        }
        return ranges;
    }

  private:
    int64_t m_wanted = 0;
    int64_t m_held = 0;
    std::deque<AsfPayloads::Range> m_ranges;
};

// Cuts a stream into blocks of a fixed size and reads the first bytes of
// each, as its media objects' bytes arrive in stream order.
class BlockHeads
{
  public:
    // blockBytes: 0 for none, else at least AsfPayloads::HeadBytes.
    BlockHeads(BufferedFileReader &file, int64_t blockBytes, std::vector<AsfPayloads::Block> &out)
        : m_file(file), m_blockBytes(blockBytes), m_blocks(out)
    {}

    // A media object of size bytes begins, stated at time (milliseconds).
    [[nodiscard]] Result<void> open(int64_t size, int64_t time)
    {
        if (m_blockBytes == 0)
            return {};
        if (size % m_blockBytes != 0)
            return Failure{QStringLiteral("a media object of other than whole blocks")};
        m_objectTime = time;
        return {};
    }

    // The next bytes of the stream lie at offset in the file.
    [[nodiscard]] Result<void> add(int64_t offset, int64_t bytes)
    {
        for (int64_t step = 0; m_blockBytes != 0 && bytes > 0; offset += step, bytes -= step) {
            if (m_inBlock == 0) {
                m_blocks.push_back({{}, m_objectTime});
                m_objectTime = -1;
            }
            step = std::min(bytes, m_blockBytes - m_inBlock);
            if (m_inBlock < AsfPayloads::HeadBytes) {
                const int64_t head = std::min<int64_t>(step, AsfPayloads::HeadBytes - m_inBlock);
                if (m_file.read(offset, m_blocks.back().head.data() + m_inBlock,
                                std::size_t(head)) != head)
                    return Failure{QStringLiteral("cannot read the file")};
            }
            m_inBlock = (m_inBlock + step) % m_blockBytes;
        }
        return {};
    }

  private:
    BufferedFileReader &m_file;
    int64_t m_blockBytes = 0;
    std::vector<AsfPayloads::Block> &m_blocks;
    // Bytes of the last block so far.
    int64_t m_inBlock = 0;
    int64_t m_objectTime = -1;
};

// The media object of the stream whose fragments are arriving; none while
// received is 0.
struct OpenObject
{
    uint32_t size = 0;
    uint32_t received = 0;
};

} // namespace

Result<AsfPayloads::Stream> AsfPayloads::walk(BufferedFileReader &file, int streamNumber,
                                              int64_t tailBytes)
{
    return walkStream(file, streamNumber, tailBytes, 0);
}

Result<AsfPayloads::Stream> AsfPayloads::walkBlocks(BufferedFileReader &file, int streamNumber,
                                                    int64_t tailBytes, int64_t blockBytes)
{
    if (blockBytes < HeadBytes)
        return Failure{QStringLiteral("blocks too small")};
    return walkStream(file, streamNumber, tailBytes, blockBytes);
}

Result<AsfPayloads::Stream> AsfPayloads::walkStream(BufferedFileReader &file, int streamNumber,
                                                    int64_t tailBytes, int64_t blockBytes)
{
    if (streamNumber < 1 || streamNumber > 127)
        return Failure{QStringLiteral("no such stream number")};
    if (tailBytes < 0)
        return Failure{QStringLiteral("a negative tail")};
    FieldReader fields(file);
    const Result<Layout> layout = readLayout(file, fields, streamNumber);
    if (!layout)
        return Failure{layout.error()};

    Stream stream;
    Tail tail(tailBytes);
    BlockHeads blocks(file, blockBytes, stream.blocks);
    OpenObject object;
    // The demuxer reads every packet after a first one that starts with
    // standard error correction (no error-correction data) by looking for
    // those three bytes.
    bool standardCorrectionThroughout = false;
    for (int64_t index = 0; index < layout->packets; ++index) {
        const int64_t packet = layout->firstPacket + index * layout->packetBytes;
        fields.start(packet, packet + layout->packetBytes);
        // Error-correction flags come first where the top bit is set, else
        // the length type flags.
        unsigned lengthFlags = unsigned(fields.take(1));
        bool standardCorrection = false;
        if ((lengthFlags & 0x80) != 0) {
            if (lengthFlags != ErrorCorrectionFlags)
                return Failure{QStringLiteral("unexpected error-correction flags")};
            standardCorrection = fields.take(2) == 0;
            lengthFlags = unsigned(fields.take(1));
        }
        if (index == 0)
            standardCorrectionThroughout = standardCorrection;
        else if (standardCorrectionThroughout && !standardCorrection)
            return Failure{QStringLiteral("error correction changes between packets")};
        const auto properties = unsigned(fields.take(1));
        const uint32_t packetLength = fields.field(lengthFlags >> 5, uint32_t(layout->packetBytes));
        (void)fields.field(lengthFlags >> 1); // sequence
        const uint32_t padding = fields.field(lengthFlags >> 3);
        fields.skip(6); // send time, duration
        const bool multiple = (lengthFlags & 0x01) != 0;
        unsigned payloads = 1;
        unsigned payloadLengthType = 0;
        if (multiple) {
            const auto payloadFlags = unsigned(fields.take(1));
            payloads = payloadFlags & 0x3f;
            payloadLengthType = payloadFlags >> 6;
        }
        if (fields.failed())
            return fields.failure("a packet's header runs past the packet");
        if ((properties >> 6) != 1)
            return Failure{QStringLiteral("stream numbers other than one byte")};
        if (packetLength == 0 || packetLength > layout->packetBytes)
            return Failure{QStringLiteral("a packet length out of range")};
        if (padding >= packetLength || packet + packetLength - padding < fields.at())
            return Failure{QStringLiteral("a packet's padding covers its header")};
        fields.setLimit(packet + packetLength - padding);

        for (unsigned payload = 0; payload < payloads; ++payload) {
            if (fields.left() < FewestBytesReadOn)
                return Failure{QStringLiteral("a payload too near the end of its packet")};
            const bool ours = (fields.take(1) & 0x7f) == uint64_t(streamNumber);
            (void)fields.field(properties >> 4); // media object number
            const uint32_t offset = fields.field(properties >> 2);
            const uint32_t replicated = fields.field(properties);
            const bool compressed = replicated == 1;
            uint32_t objectSize = 0;
            uint32_t objectTime = 0;
            uint8_t timeDelta = 0;
            if (compressed) {
                timeDelta = uint8_t(fields.take(1));
            } else if (replicated >= 8) {
                objectSize = uint32_t(fields.take(4));
                objectTime = uint32_t(fields.take(4));
                fields.skip(int64_t(replicated) - 8); // extensions
            } else {
                return Failure{QStringLiteral("unexpected replicated data")};
            }
            const uint32_t dataBytes = multiple ? fields.field(payloadLengthType)
                                                : uint32_t(std::max<int64_t>(fields.left(), 0));
            if (fields.failed())
                return fields.failure("a payload's header runs past its packet");
            if (dataBytes > fields.left())
                return Failure{QStringLiteral("a payload runs past its packet")};
            if (objectSize >= ObjectSizeLimit)
                return Failure{QStringLiteral("a media object too large")};

            if (compressed) {
                // Sub-payloads, each a length byte and one whole media object.
                const int64_t end = fields.at() + dataBytes;
                int64_t runningTime = offset;
                for (bool first = true; fields.at() < end; first = false) {
                    if (!first && (fields.left() < FewestBytesReadOn || runningTime == 0 ||
                                   runningTime > RunningTimeLimit))
                        return Failure{QStringLiteral("a compressed payload the demuxer misreads")};
                    const auto length = int64_t(fields.take(1));
                    if (fields.failed() || length == 0 || length > end - fields.at())
                        return Failure{QStringLiteral("a sub-payload empty or past its payload")};
                    if (ours) {
                        if (object.received != 0)
                            return Failure{QStringLiteral("a media object left incomplete")};
                        stream.bytes += length;
                        tail.add(fields.at(), length);
                        if (Result<void> opened = blocks.open(length, runningTime); !opened)
                            return Failure{opened.error()};
                        if (Result<void> added = blocks.add(fields.at(), length); !added)
                            return Failure{added.error()};
                    }
                    fields.skip(length);
                    runningTime += timeDelta;
                }
                continue;
            }
            // The demuxer loses its place in the packet after a fragment of
            // any stream that does not fit in its object.
            if (offset >= objectSize || dataBytes > objectSize - offset)
                return Failure{QStringLiteral("a fragment runs past its media object")};
            if (ours) {
                if (offset == 0) {
                    if (object.received != 0)
                        return Failure{QStringLiteral("a media object left incomplete")};
                    object = {objectSize, 0};
                    if (Result<void> opened = blocks.open(objectSize, objectTime); !opened)
                        return Failure{opened.error()};
                } else if (offset != object.received || objectSize != object.size) {
                    return Failure{QStringLiteral("a fragment out of order")};
                }
                object.received += dataBytes;
                if (object.received == object.size)
                    object = {};
                stream.bytes += dataBytes;
                tail.add(fields.at(), dataBytes);
                if (Result<void> added = blocks.add(fields.at(), dataBytes); !added)
                    return Failure{added.error()};
            }
            fields.skip(dataBytes);
        }
    }
    if (object.received != 0)
        return Failure{QStringLiteral("a media object left incomplete")};
    stream.tail = tail.ranges();
    return stream;
}

} // namespace audio
