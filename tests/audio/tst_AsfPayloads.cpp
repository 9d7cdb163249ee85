#include "AsfPayloads.h"
#include "AudioFixtures.h"
#include "BufferedFileReader.h"

#include <QTemporaryDir>
#include <QtTest>

extern "C" {
#include <libavformat/avformat.h>
}

using audio::AsfPayloads;
using audio::BufferedFileReader;

namespace {

QByteArray le(qint64 value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out += char((value >> (8 * i)) & 0xff);
    return out;
}

QByteArray fileProperties(int packetSize)
{
    return QByteArray::fromHex("A1DCAB8C47A9CF118EE400C00C205365") + le(104, 8) +
           QByteArray(64, '\0') + le(2, 4) + le(packetSize, 4) + le(packetSize, 4) + le(0, 4);
}

QByteArray headerExtension(const QByteArray &objects)
{
    return QByteArray::fromHex("B503BF5F2EA9CF118EE300C00C205365") + le(46 + objects.size(), 8) +
           QByteArray(16, '\0') + le(6, 2) + le(objects.size(), 4) + objects;
}

// Where the builders below put things (without more header objects): the
// first packet at byte 184, after a header object of 134 bytes (holding file
// properties alone) and the data object's 50.
constexpr int FlagsAt = 118, SmallestPacketAt = 122, DataSizeAt = 150, TotalPacketsAt = 174;

QByteArray asfFile(int packetSize, const QList<QByteArray> &packets, const QByteArray &more = {})
{
    const QByteArray objects = fileProperties(packetSize) + more;
    return QByteArray::fromHex("3026B2758E66CF11A6D900AA0062CE6C") + le(30 + objects.size(), 8) +
           le(1, 4) + le(0x0201, 2) + objects +
           QByteArray::fromHex("3626B2758E66CF11A6D900AA0062CE6C") +
           le(50 + packets.size() * packetSize, 8) + QByteArray(16, '\0') + le(packets.size(), 8) +
           le(0x0101, 2) + packets.join();
}

QByteArray patched(QByteArray file, int at, const QByteArray &bytes)
{
    return file.replace(at, bytes.size(), bytes);
}

struct Payload
{
    QByteArray head;
    QByteArray data;
    int length = -1; // as the payload's length field states it; -1: data's
};

// Property flags 0x5D: a byte for the stream and the object number, a double
// word for the offset into the object, a byte for the replicated data length.
Payload fragment(int stream, int object, int offset, int objectSize, int bytes, int length = -1)
{
    return {le(stream, 1) + le(object, 1) + le(offset, 4) + le(8, 1) + le(objectSize, 4) +
                le(3100, 4),
            QByteArray(bytes, 'f'), length};
}

// A fragment of given bytes, its object presented at time.
Payload bytesOf(int stream, int object, int offset, int objectSize, const QByteArray &data,
                int time)
{
    return {le(stream, 1) + le(object, 1) + le(offset, 4) + le(8, 1) + le(objectSize, 4) +
                le(time, 4),
            data};
}

// A stream properties object for stream number `stream`, with 18 bytes of
// type-specific data and, where spread is not empty, error-correction data
// that starts with it (span, virtual packet and chunk lengths).
QByteArray streamProperties(int stream, const QByteArray &spread)
{
    const QByteArray correction = spread.isEmpty() ? QByteArray() : spread + le(0, 3);
    return QByteArray::fromHex("9107DCB7B7A9CF118EE600C00C205365") +
           le(78 + 18 + correction.size(), 8) + QByteArray(32, 'g') + le(0, 8) + le(18, 4) +
           le(correction.size(), 4) + le(stream, 2) + le(0, 4) + QByteArray(18, 't') + correction;
}

Payload compressed(int stream, int time, int delta, const QList<int> &sizes, int length = -1)
{
    QByteArray data;
    for (const int size : sizes)
        data += le(size, 1) + QByteArray(size, 's');
    return {le(stream, 1) + le(0, 1) + le(time, 4) + le(1, 1) + le(delta, 1), data, length};
}

// Error correction "82 00 00" or none; a word for the padding length; with
// several payloads, a word for each one's length.
QByteArray packet(int size, bool correction, const QList<Payload> &payloads, int properties = 0x5D)
{
    const bool multiple = payloads.size() != 1;
    QByteArray body;
    for (const Payload &p : payloads)
        body += p.head +
                (multiple ? le(p.length < 0 ? p.data.size() : p.length, 2) : QByteArray()) + p.data;
    QByteArray head = (correction ? QByteArray::fromHex("820000") : QByteArray()) +
                      le(0x10 | int(multiple), 1) + le(properties, 1);
    const int padding = size - int(head.size()) - 8 - int(multiple) - int(body.size());
    head += le(padding, 2) + le(0, 6) + (multiple ? le(0x80 | payloads.size(), 1) : QByteArray());
    return head + body + QByteArray(padding, '\0');
}

} // namespace

class TestAsfPayloads : public QObject
{
    Q_OBJECT

  private slots:
    void walk_data();
    void walk();
    void descrambledStream_data();
    void descrambledStream();
    void blocks_data();
    void blocks();
    void fixtures_data();
    void fixtures();
    void fixtureBlocks_data();
    void fixtureBlocks();

  private:
    // The bytes written to a file of that name, opened for reading; null
    // where that fails.
    [[nodiscard]] std::unique_ptr<BufferedFileReader> written(const QByteArray &file,
                                                              const QString &name) const;

    QTemporaryDir m_dir;
};

std::unique_ptr<BufferedFileReader> TestAsfPayloads::written(const QByteArray &file,
                                                             const QString &name) const
{
    const QString path = m_dir.filePath(name);
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(file) != file.size())
        return nullptr;
    out.close();
    Result<std::unique_ptr<BufferedFileReader>> reader = BufferedFileReader::open(path);
    return reader.ok() ? std::move(reader).value() : nullptr;
}

// Offsets and counts worked out by hand from the layout above: a packet's
// header is 10 bytes, 13 with error correction, one more with several
// payloads; a fragment's header 15 bytes and a compressed payload's 8, two
// more each with several payloads.
void TestAsfPayloads::walk_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("stream");
    QTest::addColumn<qint64>("tailBytes");
    QTest::addColumn<qint64>("bytes");
    QTest::addColumn<QList<qint64>>("tail"); // offset, bytes, ...
    QTest::addColumn<QString>("failure");
    const auto walks = [](const char *name, const QByteArray &file, int stream, qint64 tailBytes,
                          qint64 bytes, const QList<qint64> &tail) {
        QTest::newRow(name) << file << stream << tailBytes << bytes << tail << QString();
    };
    const auto fails = [](const char *name, const QByteArray &file, const char *failure,
                          int stream = 1, qint64 tailBytes = 0) {
        QTest::newRow(name) << file << stream << tailBytes << qint64(-1) << QList<qint64>()
                            << QString::fromLatin1(failure);
    };

    const QByteArray single = asfFile(200, {packet(200, false, {fragment(1, 1, 0, 150, 150)})});
    walks("single payload, padded", single, 1, 1000, 150, {209, 150});
    const QByteArray three =
        asfFile(400, {packet(400, true,
                             {fragment(1, 1, 0, 60, 60), fragment(2, 1, 0, 40, 40),
                              fragment(0x81, 2, 0, 30, 30)})});
    walks("tail over two payloads, another stream between", three, 1, 50, 90, {255, 20, 349, 30});
    walks("the other stream", three, 2, 1000, 40, {292, 40});
    walks("error correction from the second packet on",
          asfFile(200, {packet(200, false, {fragment(1, 1, 0, 100, 100)}),
                        packet(200, true, {fragment(1, 2, 0, 100, 100)})}),
          1, 150, 200, {259, 50, 412, 100});
    walks("compressed payload",
          asfFile(200, {packet(200, true,
                               {compressed(1, 3100, 10, {20, 30}), fragment(2, 1, 0, 20, 20)})}),
          1, 35, 50, {224, 5, 230, 30});
    const QByteArray split = asfFile(200, {packet(200, false, {fragment(1, 1, 0, 250, 175)}),
                                           packet(200, false, {fragment(1, 1, 175, 250, 75)})});
    walks("object over two packets", split, 1, 100, 250, {359, 25, 409, 75});
    walks("no tail", split, 1, 0, 250, {});
    walks("compressed payload at time 0 with a delta",
          asfFile(200, {packet(200, true, {compressed(1, 0, 10, {10, 10})})}), 1, 0, 20, {});
    walks("empty fragment, no range",
          asfFile(200, {packet(200, false, {fragment(1, 1, 0, 10, 0), fragment(1, 1, 0, 10, 10)})}),
          1, 1000, 10, {229, 10});
    walks("tail of the last payload alone", three, 1, 30, 90, {349, 30});
    // Packet length 150: the 50 bytes after it are padding too.
    walks("packet length under the packet size",
          asfFile(200, {le(0x5D50, 2) + le(150, 2) + le(0, 8) + fragment(1, 1, 0, 123, 123).head +
                        QByteArray(123, 'f') + QByteArray(50, '\0')}),
          1, 1000, 123, {211, 123});
    walks("an object after the data object", single + QByteArray(30, '\x90'), 1, 0, 150, {});
    walks("broadcast: past the data object's size",
          patched(patched(patched(split, FlagsAt, le(3, 4)), DataSizeAt, le(250, 8)),
                  TotalPacketsAt, le(0, 8)),
          1, 0, 250, {});
    walks("data object's size 0", patched(split, DataSizeAt, le(0, 8)), 1, 0, 250, {});

    fails("stream number 0", single, "no such stream", 0);
    fails("negative tail", single, "negative", 1, -1);
    fails("not ASF", QByteArray(300, 'x'), "not an ASF");
    fails("header past the end of the file", patched(single, 16, le(1000, 8)), "header runs past");
    fails("file properties cut short", patched(single, 46, le(100, 8)), "properties are cut short");
    fails("header extension cut short",
          asfFile(200, {}, patched(headerExtension({}), 16, le(40, 8)).left(40)),
          "extension is cut short");
    fails("header extension in another", asfFile(200, {}, headerExtension(headerExtension({}))),
          "extension inside another");
    fails("no file properties", patched(single, 30, QByteArray(16, 'g')), "no file properties");
    fails("data object in the header", patched(single, 30, single.mid(134, 16)),
          "inside the header");
    fails("object past the header", patched(single, 46, le(105, 8)), "runs past the header");
    fails("data object of part packets", patched(split, DataSizeAt, le(350, 8)), "whole number");
    fails("packet cut short", split.chopped(1), "cut short");
    fails("three bytes of error correction", patched(three, 184, le(0x83, 1)), "error-correction");
    fails("packet header past the packet",
          asfFile(12, {QByteArray::fromHex("820000115D") + le(0, 7)}), "header runs past");
    fails("packet length over the packet size",
          asfFile(200, {le(0x5D50, 2) + le(300, 2) + QByteArray(196, '\0')}), "packet length");
    // A fourth payload in 10 bytes before the padding, its replicated data 8.
    fails("payload header past the used end",
          patched(patched(patched(three, 189, le(195, 2)), 197, le(0x84, 1)), 385, le(8, 1)),
          "header runs past its packet");
    fails("stream numbers in words", patched(single, 185, le(0x9D, 1)), "one byte");
    fails("padding over the header", patched(single, 186, le(300, 2)), "padding");
    fails("replicated data of 4 bytes", patched(single, 200, le(4, 1)), "replicated");
    fails(
        "sub-payload past its payload",
        asfFile(200, {packet(200, true,
                             {compressed(1, 3100, 10, {20, 30}, 40), fragment(2, 1, 0, 20, 20)})}),
        "sub-payload empty or past");
    fails("compressed payload amid an object",
          asfFile(200, {packet(200, true,
                               {fragment(1, 1, 0, 100, 50), compressed(1, 3100, 10, {10}),
                                fragment(1, 1, 50, 100, 50)})}),
          "incomplete");
    fails(
        "object begun before the last is complete",
        asfFile(200, {packet(200, true, {fragment(1, 1, 0, 100, 50), fragment(1, 2, 0, 50, 50)})}),
        "incomplete");
    fails("payload longer than its packet",
          asfFile(400,
                  {packet(400, true, {fragment(1, 1, 0, 60, 60), fragment(2, 1, 0, 40, 40, 300)})}),
          "runs past its packet");
    fails("packets of two sizes", patched(single, SmallestPacketAt, le(199, 4)), "varying");
    fails("fragment out of order",
          asfFile(200, {packet(200, false, {fragment(1, 1, 0, 250, 175)}),
                        packet(200, false, {fragment(1, 1, 176, 250, 74)})}),
          "out of order");
    fails("fragment of another object size",
          asfFile(200, {packet(200, false, {fragment(1, 1, 0, 250, 175)}),
                        packet(200, false, {fragment(1, 1, 175, 260, 75)})}),
          "out of order");
    fails("object left incomplete",
          asfFile(200, {packet(200, false, {fragment(1, 1, 0, 300, 175)}),
                        packet(200, false, {fragment(1, 1, 175, 300, 75)})}),
          "incomplete");
    fails("total packets", patched(split, TotalPacketsAt, le(3, 8)), "counts other packets");
    fails("no data object", patched(single, 134, QByteArray(16, 'g')), "no data object");
    fails("error correction dropped after the first packet",
          asfFile(200, {packet(200, true, {fragment(1, 1, 0, 100, 100)}),
                        packet(200, false, {fragment(1, 2, 0, 100, 100)})}),
          "error correction changes");
    // FFmpeg's demuxer loses its place in the packet after these.
    fails("another stream's fragment past its object",
          asfFile(400, {packet(400, true, {fragment(2, 1, 0, 30, 40), fragment(1, 1, 0, 30, 30)})}),
          "runs past its media object");
    fails("another stream's object of 16 MiB",
          asfFile(400,
                  {packet(400, true, {fragment(2, 1, 0, 1 << 24, 40), fragment(1, 1, 0, 30, 30)})}),
          "too large");
    fails("compressed payload at time 0 with no delta",
          asfFile(200, {packet(200, true, {compressed(1, 0, 0, {10, 10})})}), "misreads");
    fails("sub-payload within 6 bytes of the used end",
          asfFile(100, {packet(100, true, {compressed(1, 3100, 10, {20, 3})})}), "misreads");
    // Stream number and replicated data length a byte each, nothing else.
    fails("payload within 6 bytes of the used end",
          asfFile(100, {packet(100, false, {{le(0x0101, 2) + le(0, 1), le(0x7801, 2)}}, 0x41)}),
          "too near the end");
}

void TestAsfPayloads::walk()
{
    QFETCH(QByteArray, file);
    QFETCH(int, stream);
    QFETCH(qint64, tailBytes);
    QFETCH(qint64, bytes);
    QFETCH(QList<qint64>, tail);
    QFETCH(QString, failure);

    const std::unique_ptr<BufferedFileReader> reader = written(file, QStringLiteral("walked.asf"));
    QVERIFY(reader != nullptr);
    const Result<AsfPayloads::Stream> walked = AsfPayloads::walk(*reader, stream, tailBytes);
    if (!failure.isEmpty()) {
        QVERIFY(!walked.ok());
        QVERIFY2(walked.error().contains(failure), qPrintable(walked.error()));
        return;
    }
    QVERIFY2(walked.ok(), qPrintable(walked.error()));
    QCOMPARE(walked->bytes, bytes);
    QList<qint64> ranges;
    for (const AsfPayloads::Range &range : walked->tail)
        ranges << range.offset << range.bytes;
    QCOMPARE(ranges, tail);
}

void TestAsfPayloads::descrambledStream_data()
{
    QTest::addColumn<QByteArray>("properties");
    QTest::addColumn<bool>("descrambled");
    const auto spread = [](int span, int packetBytes, int chunkBytes) {
        return le(span, 1) + le(packetBytes, 2) + le(chunkBytes, 2);
    };
    QTest::newRow("span 2 of 10-byte packets in 5-byte chunks")
        << streamProperties(1, spread(2, 10, 5)) << true;
    QTest::newRow("in a header extension")
        << headerExtension(streamProperties(1, spread(2, 10, 5))) << true;
    QTest::newRow("span 1") << streamProperties(1, spread(1, 10, 5)) << false;
    QTest::newRow("no chunk length") << streamProperties(1, spread(2, 10, 0)) << false;
    QTest::newRow("one chunk a packet") << streamProperties(1, spread(2, 10, 10)) << false;
    QTest::newRow("chunks that do not divide the packet")
        << streamProperties(1, spread(2, 10, 3)) << false;
    QTest::newRow("another stream") << streamProperties(2, spread(2, 10, 5)) << false;
    QTest::newRow("no error-correction data") << streamProperties(1, {}) << false;
    QTest::newRow("a later object for the stream without it")
        << streamProperties(1, spread(2, 10, 5)) + streamProperties(1, {}) << false;
}

// FFmpeg's demuxer reorders the bytes of an audio stream spread over
// packets: where it would, the walk's byte ranges are not the packets' bytes.
void TestAsfPayloads::descrambledStream()
{
    QFETCH(QByteArray, properties);
    QFETCH(bool, descrambled);
    const QByteArray file =
        asfFile(200, {packet(200, false, {fragment(1, 1, 0, 150, 150)})}, properties);
    const std::unique_ptr<BufferedFileReader> reader =
        written(file, QStringLiteral("descrambled.asf"));
    QVERIFY(reader != nullptr);
    const Result<AsfPayloads::Stream> walked = AsfPayloads::walk(*reader, 1, 0);
    QCOMPARE(walked.ok(), !descrambled);
    if (descrambled)
        QVERIFY2(walked.error().contains("descrambles"), qPrintable(walked.error()));
    else
        QCOMPARE(walked->bytes, 150);
}

void TestAsfPayloads::blocks_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<qint64>("blockBytes");
    QTest::addColumn<QStringList>("heads");
    QTest::addColumn<QList<qint64>>("times");
    QTest::addColumn<QString>("failure");
    const auto walks = [](const char *name, const QByteArray &file, qint64 blockBytes,
                          const QStringList &heads, const QList<qint64> &times) {
        QTest::newRow(name) << file << blockBytes << heads << times << QString();
    };
    const auto fails = [](const char *name, const QByteArray &file, qint64 blockBytes,
                          const char *failure) {
        QTest::newRow(name) << file << blockBytes << QStringList() << QList<qint64>()
                            << QString::fromLatin1(failure);
    };
    const QByteArray letters = "0123456789ABCDEFGHIJKLMN";

    walks("two blocks in one payload",
          asfFile(200, {packet(200, false, {bytesOf(1, 1, 0, 20, letters.left(20), 3100)})}), 10,
          {"01234567", "ABCDEFGH"}, {3100, -1});
    // Blocks of 12: the second's first bytes lie in both packets.
    const QByteArray split =
        asfFile(200, {packet(200, false, {bytesOf(1, 1, 0, 24, letters.left(15), 500)}),
                      packet(200, false, {bytesOf(1, 1, 15, 24, letters.mid(15), 500)})});
    walks("a block's first bytes over two packets", split, 12, {"01234567", "CDEFGHIJ"}, {500, -1});
    walks("a whole object a block", split, 24, {"01234567"}, {500});
    walks("objects of other streams between",
          asfFile(300, {packet(300, true,
                               {bytesOf(1, 1, 0, 8, letters.left(8), 100),
                                bytesOf(2, 1, 0, 8, "abcdefgh", 100),
                                bytesOf(1, 2, 0, 8, letters.mid(8, 8), 140)})}),
          8, {"01234567", "89ABCDEF"}, {100, 140});
    walks("sub-payloads, each an object at its time",
          asfFile(200, {packet(200, true, {compressed(1, 3100, 10, {8, 16})})}), 8,
          {"ssssssss", "ssssssss", "ssssssss"}, {3100, 3110, -1});
    walks("no payload", asfFile(200, {}), 10, {}, {});
    fails("an object of a block and a half",
          asfFile(200, {packet(200, false, {bytesOf(1, 1, 0, 15, letters.left(15), 0)})}), 10,
          "whole blocks");
    fails("sub-payloads of part blocks",
          asfFile(200, {packet(200, true, {compressed(1, 3100, 10, {8, 12})})}), 8, "whole blocks");
    fails("blocks smaller than the bytes reported", split, 7, "too small");
}

// Offsets and times as the builders above lay them out.
void TestAsfPayloads::blocks()
{
    QFETCH(QByteArray, file);
    QFETCH(qint64, blockBytes);
    QFETCH(QStringList, heads);
    QFETCH(QList<qint64>, times);
    QFETCH(QString, failure);

    const std::unique_ptr<BufferedFileReader> reader = written(file, QStringLiteral("blocks.asf"));
    QVERIFY(reader != nullptr);
    const Result<AsfPayloads::Stream> walked =
        AsfPayloads::walkBlocks(*reader, 1, blockBytes, blockBytes);
    if (!failure.isEmpty()) {
        QVERIFY(!walked.ok());
        QVERIFY2(walked.error().contains(failure), qPrintable(walked.error()));
        return;
    }
    QVERIFY2(walked.ok(), qPrintable(walked.error()));
    QCOMPARE(walked->bytes, blockBytes * heads.size());
    QStringList walkedHeads;
    QList<qint64> walkedTimes;
    for (const AsfPayloads::Block &block : walked->blocks) {
        walkedHeads << QString::fromLatin1(reinterpret_cast<const char *>(block.head.data()),
                                           AsfPayloads::HeadBytes);
        walkedTimes << block.objectTime;
    }
    QCOMPARE(walkedHeads, heads);
    QCOMPARE(walkedTimes, times);
}

// The audio packets FFmpeg's demuxer reads from a file, through libavformat
// alone.
struct DemuxedAudio
{
    int streamId = -1;
    int blockAlign = 0;
    QList<QByteArray> packets;
    QList<qint64> times;
};

DemuxedAudio demuxed(const QString &path)
{
    DemuxedAudio audio;
    AVFormatContext *context = nullptr;
    if (avformat_open_input(&context, QFile::encodeName(path).constData(), nullptr, nullptr) != 0)
        return audio;
    const int index = av_find_best_stream(context, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index >= 0) {
        audio.streamId = context->streams[index]->id;
        audio.blockAlign = context->streams[index]->codecpar->block_align;
    }
    AVPacket *packet = av_packet_alloc();
    while (packet != nullptr && av_read_frame(context, packet) >= 0) {
        if (packet->stream_index == index) {
            audio.packets << QByteArray(reinterpret_cast<const char *>(packet->data), packet->size);
            audio.times << packet->pts;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    avformat_close_input(&context);
    return audio;
}

void TestAsfPayloads::fixtures_data()
{
    QTest::addColumn<QString>("name");
    for (const char *name :
         {"tone.wma", "wmav2_mono11.wma", "wmav1_32k.wma", "reservoir_silence.wma"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

// The bytes of the packets FFmpeg's demuxer reads for the audio stream, and
// the last of them, found through libavformat alone.
void TestAsfPayloads::fixtures()
{
    QFETCH(QString, name);
    const QString path = audioFixture(QStringLiteral("formats/") + name);
    const DemuxedAudio audio = demuxed(path);
    const int streamId = audio.streamId;
    const int blockAlign = audio.blockAlign;
    qint64 total = 0;
    for (const QByteArray &packet : audio.packets)
        total += packet.size();
    const QByteArray last = audio.packets.isEmpty() ? QByteArray() : audio.packets.last();
    QVERIFY(blockAlign > 0 && total > 0);

    Result<std::unique_ptr<BufferedFileReader>> reader = BufferedFileReader::open(path);
    QVERIFY(reader.ok());
    const Result<AsfPayloads::Stream> walked =
        AsfPayloads::walk(*reader.value(), streamId, last.size());
    QVERIFY2(walked.ok(), qPrintable(walked.error()));
    QCOMPARE(walked->bytes, total);
    QCOMPARE(walked->bytes % blockAlign, 0);
    QByteArray tail;
    for (const AsfPayloads::Range &range : walked->tail) {
        QByteArray part(range.bytes, '\0');
        QCOMPARE(reader.value()->read(range.offset, part.data(), std::size_t(range.bytes)),
                 range.bytes);
        tail += part;
    }
    QCOMPARE(tail, last);
}

void TestAsfPayloads::fixtureBlocks_data()
{
    fixtures_data();
}

// The first bytes of every block of the packets FFmpeg's demuxer reads, and
// the packets' times (the demuxer's are the file's, less the preroll).
void TestAsfPayloads::fixtureBlocks()
{
    QFETCH(QString, name);
    const QString path = audioFixture(QStringLiteral("formats/") + name);
    const DemuxedAudio audio = demuxed(path);
    const int streamId = audio.streamId;
    const int blockAlign = audio.blockAlign;
    QVERIFY(blockAlign >= AsfPayloads::HeadBytes);
    QList<QByteArray> heads;
    QList<qint64> times;
    for (qsizetype i = 0; i < audio.packets.size(); ++i) {
        for (int at = 0; at < audio.packets[i].size(); at += blockAlign) {
            heads << audio.packets[i].mid(at, AsfPayloads::HeadBytes);
            times << (at == 0 ? audio.times[i] : -1);
        }
    }
    QVERIFY(!heads.isEmpty());

    Result<std::unique_ptr<BufferedFileReader>> reader = BufferedFileReader::open(path);
    QVERIFY(reader.ok());
    const Result<AsfPayloads::Stream> walked =
        AsfPayloads::walkBlocks(*reader.value(), streamId, 0, blockAlign);
    QVERIFY2(walked.ok(), qPrintable(walked.error()));
    QList<QByteArray> walkedHeads;
    QList<qint64> walkedTimes;
    const int64_t preroll = walked->blocks.front().objectTime - times.front();
    for (const AsfPayloads::Block &block : walked->blocks) {
        walkedHeads << QByteArray(reinterpret_cast<const char *>(block.head.data()),
                                  AsfPayloads::HeadBytes);
        walkedTimes << (block.objectTime < 0 ? -1 : block.objectTime - preroll);
    }
    QCOMPARE(walkedHeads, heads);
    QCOMPARE(walkedTimes, times);
}

QTEST_GUILESS_MAIN(TestAsfPayloads)
#include "tst_AsfPayloads.moc"
