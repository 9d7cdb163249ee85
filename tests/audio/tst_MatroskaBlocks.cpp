// The walk over a Matroska file's blocks: files built here element by
// element, whose frames the walk must hand back byte for byte, and the
// committed fixtures, whose frames mkvinfo lists.
#include "AudioFixtures.h"
#include "BufferedFileReader.h"
#include "MatroskaBlocks.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

using audio::BufferedFileReader;
using audio::MatroskaBlocks;

namespace {

QByteArray bigEndian(uint64_t value, int bytes)
{
    QByteArray out;
    for (int i = bytes - 1; i >= 0; --i)
        out.append(char((value >> (8 * i)) & 0xff));
    return out;
}

// An element ID as stored (its marker bits included).
QByteArray id(uint32_t value)
{
    int bytes = 1;
    while (bytes < 4 && (value >> (8 * bytes)) != 0)
        ++bytes;
    return bigEndian(value, bytes);
}

QByteArray vint(uint64_t value)
{
    if (value < 0x7f)
        return bigEndian(0x80 | value, 1);
    if (value < 0x3fff)
        return bigEndian(0x4000 | value, 2);
    return bigEndian((uint64_t(1) << 56) | value, 8);
}

const QByteArray UnknownSize = QByteArray::fromHex("01ffffffffffffff");

QByteArray element(uint32_t elementId, const QByteArray &body)
{
    return id(elementId) + vint(uint64_t(body.size())) + body;
}

QByteArray uintElement(uint32_t elementId, uint64_t value)
{
    return element(elementId, bigEndian(value, 4));
}

QByteArray file(const QByteArray &segmentBody, bool sized = true)
{
    const QByteArray header = element(0x1A45DFA3, element(0x4282, "matroska"));
    if (!sized)
        return header + id(0x18538067) + UnknownSize + segmentBody;
    return header + element(0x18538067, segmentBody);
}

// type: 1 video, 2 audio.
QByteArray track(uint64_t number, uint64_t type, const QByteArray &codec, bool encoded = false)
{
    QByteArray body = uintElement(0xD7, number) + uintElement(0x83, type) + element(0x86, codec);
    if (encoded)
        body += element(0x6D80, element(0x6240, uintElement(0x5034, 1)));
    return element(0xAE, body);
}

QByteArray tracks(const QByteArray &entries)
{
    return element(0x1654AE6B, entries);
}

const QByteArray AudioTrack = tracks(track(1, 2, "A_VORBIS"));

QByteArray cluster(const QByteArray &children)
{
    return element(0x1F43B675, uintElement(0xE7, 0) + children);
}

// A block's body: track, 16-bit time, flags, then what follows them.
QByteArray blockBody(uint64_t trackNumber, uint8_t flags, const QByteArray &rest)
{
    return vint(trackNumber) + QByteArray(2, '\0') + char(flags) + rest;
}

QByteArray simple(uint64_t trackNumber, const QByteArray &frame)
{
    return element(0xA3, blockBody(trackNumber, 0x80, frame));
}

QByteArray group(const QByteArray &blockBytes, int64_t discardPadding)
{
    return element(0xA0, element(0xA1, blockBytes) +
                             element(0x75A2, bigEndian(uint64_t(discardPadding), 3)));
}

QByteArray frames(const QList<QByteArray> &list)
{
    QByteArray out;
    for (const QByteArray &frame : list)
        out += frame;
    return out;
}

const QByteArray Long(300, 'x');

struct Walked
{
    bool ok = false;
    QString error;
    QList<QByteArray> frames;
    QList<qint64> paddings;
};

Walked walk(const QString &path, const QByteArray &codec)
{
    Walked walked;
    Result<std::unique_ptr<BufferedFileReader>> reader = BufferedFileReader::open(path);
    if (!reader) {
        walked.error = reader.error();
        return walked;
    }
    QFile bytes(path);
    if (!bytes.open(QIODevice::ReadOnly)) {
        walked.error = bytes.errorString();
        return walked;
    }
    const QByteArray all = bytes.readAll();
    const Result<void> result = MatroskaBlocks::walk(
        *reader.value(), codec, [&](const MatroskaBlocks::Frame &frame) -> Result<void> {
            walked.frames.append(all.mid(frame.offset, frame.bytes));
            walked.paddings.append(frame.discardPadding);
            // The first bytes passed along are the frame's own.
            if (frame.headBytes > frame.bytes ||
                all.mid(frame.offset, frame.headBytes) !=
                    QByteArray(reinterpret_cast<const char *>(frame.head.data()), frame.headBytes))
                return Failure{QStringLiteral("head bytes differ")};
            return {};
        });
    walked.ok = result.ok();
    if (!result)
        walked.error = result.error();
    return walked;
}

} // namespace

class TestMatroskaBlocks : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void framesHandedBack_data();
    void framesHandedBack();
    void refused_data();
    void refused();
    void fixtureFramesAsMkvinfoListsThem_data();
    void fixtureFramesAsMkvinfoListsThem();
    void visitorFailureEndsTheWalk();

  private:
    QString write(const QByteArray &bytes);
    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestMatroskaBlocks::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestMatroskaBlocks::write(const QByteArray &bytes)
{
    const QString path = m_dir.filePath(QStringLiteral("%1.mka").arg(m_files++));
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
        return {};
    return path;
}

void TestMatroskaBlocks::framesHandedBack_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<QList<qint64>>("paddings");

    const QList<QByteArray> three = {Long, "yy", "zzz"};
    QTest::newRow("unlaced simple blocks")
        << file(AudioTrack + cluster(simple(1, "aaaa") + simple(1, "bbb")) +
                cluster(simple(1, "c")))
        << QList<QByteArray>{"aaaa", "bbb", "c"} << QList<qint64>{0, 0, 0};
    QTest::newRow("another track's blocks left out")
        << file(tracks(track(1, 1, "V_MJPEG") + track(2, 2, "A_VORBIS")) +
                cluster(simple(1, "video") + simple(2, "aa") + simple(1, "v") + simple(2, "b")))
        << QList<QByteArray>{"aa", "b"} << QList<qint64>{0, 0};
    // Three frames: 300 bytes (255 + 45), 2, and the rest.
    QTest::newRow("Xiph lacing")
        << file(AudioTrack +
                cluster(element(
                    0xA3, blockBody(1, 0x82, QByteArray::fromHex("02ff2d02") + frames(three)))))
        << three << QList<qint64>{0, 0, 0};
    // 300 as a two-byte number; then 2, as -298 over the two-byte bias
    // 8,191: 7,893 = 0x1ed5.
    QTest::newRow("EBML lacing")
        << file(AudioTrack +
                cluster(element(
                    0xA3, blockBody(1, 0x86, QByteArray::fromHex("02412c5ed5") + frames(three)))))
        << three << QList<qint64>{0, 0, 0};
    QTest::newRow("fixed lacing") << file(AudioTrack + cluster(element(0xA3, blockBody(1, 0x84,
                                                                                       "\x02"
                                                                                       "aabbcc"))))
                                  << QList<QByteArray>{"aa", "bb", "cc"} << QList<qint64>{0, 0, 0};
    QTest::newRow("block groups with discard padding, either sign")
        << file(AudioTrack + cluster(simple(1, "aa") + group(blockBody(1, 0, "pp"), 5187500) +
                                     group(blockBody(1, 0, "q"), -1000)))
        << QList<QByteArray>{"aa", "pp", "q"} << QList<qint64>{0, 5187500, -1000};
    QTest::newRow("cluster of unknown size, ended by the cues")
        << file(AudioTrack + id(0x1F43B675) + UnknownSize + uintElement(0xE7, 0) + simple(1, "aa") +
                element(0x1C53BB6B, "cues") + cluster(simple(1, "bb")))
        << QList<QByteArray>{"aa", "bb"} << QList<qint64>{0, 0};
    QTest::newRow("segment of unknown size, void elements between")
        << file(AudioTrack + element(0xEC, "void") + cluster(element(0xEC, "") + simple(1, "aa")),
                false)
        << QList<QByteArray>{"aa"} << QList<qint64>{0};
    QTest::newRow("an empty frame")
        << file(AudioTrack + cluster(simple(1, ""))) << QList<QByteArray>{""} << QList<qint64>{0};
}

void TestMatroskaBlocks::framesHandedBack()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(QList<qint64>, paddings);
    const QString path = write(bytes);
    QVERIFY(!path.isEmpty());
    const Walked walked = walk(path, "A_VORBIS");
    QVERIFY2(walked.ok, qPrintable(walked.error));
    QCOMPARE(walked.frames, expected);
    QCOMPARE(walked.paddings, paddings);
}

void TestMatroskaBlocks::refused_data()
{
    QTest::addColumn<QByteArray>("bytes");

    const QByteArray blocks = cluster(simple(1, "aa"));
    QTest::newRow("frames stored encoded") << file(tracks(track(1, 2, "A_VORBIS", true)) + blocks);
    QTest::newRow("two audio tracks")
        << file(tracks(track(1, 2, "A_VORBIS") + track(2, 2, "A_VORBIS")) + blocks);
    QTest::newRow("another codec") << file(tracks(track(1, 2, "A_AAC")) + blocks);
    QTest::newRow("no audio track") << file(tracks(track(1, 1, "V_MJPEG")) + blocks);
    QTest::newRow("a cluster before the tracks") << file(blocks + AudioTrack);
    QTest::newRow("no list of tracks") << file(element(0xEC, "void"));
    // The cluster says 4 bytes fewer than its children take.
    QByteArray shortCluster = cluster(simple(1, "aaaa"));
    shortCluster[4] = char(shortCluster[4] - 4);
    QTest::newRow("a block past its cluster") << file(AudioTrack + shortCluster);
    QTest::newRow("Xiph lace sizes past the block")
        << file(AudioTrack + cluster(element(0xA3, blockBody(1, 0x82,
                                                             "\x01\x10"
                                                             "abc"))));
    QTest::newRow("EBML lace size past the block")
        << file(AudioTrack + cluster(element(0xA3, blockBody(1, 0x86,
                                                             "\x01\x90"
                                                             "abc"))));
    QTest::newRow("fixed lacing that does not divide")
        << file(AudioTrack + cluster(element(0xA3, blockBody(1, 0x84,
                                                             "\x02"
                                                             "aabbc"))));
    QTest::newRow("discard padding on a laced block")
        << file(AudioTrack + cluster(group(blockBody(1, 0x84,
                                                     "\x01"
                                                     "aabb"),
                                           1000)));
    QTest::newRow("a block group without a block")
        << file(AudioTrack + cluster(element(0xA0, uintElement(0x9B, 1))));
    QTest::newRow("cut short") << file(AudioTrack + blocks).chopped(1);
    QTest::newRow("cut short, segment of unknown size")
        << file(AudioTrack + blocks, false).chopped(1);
    QTest::newRow("no EBML header") << file(AudioTrack + blocks).mid(12);
}

void TestMatroskaBlocks::refused()
{
    QFETCH(QByteArray, bytes);
    const QString path = write(bytes);
    QVERIFY(!path.isEmpty());
    const Walked walked = walk(path, "A_VORBIS");
    QVERIFY(!walked.ok);
    QVERIFY(!walked.error.isEmpty());
}

// Frame counts, first and last frames, and discard padding as
// `mkvinfo -v -v` lists them for the committed files.
void TestMatroskaBlocks::fixtureFramesAsMkvinfoListsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<int>("count");
    QTest::addColumn<qint64>("firstOffset");
    QTest::addColumn<qint64>("firstBytes");
    QTest::addColumn<qint64>("lastOffset");
    QTest::addColumn<qint64>("lastBytes");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<qint64>("lastPadding");

    QTest::newRow("Xiph-laced Vorbis")
        << "laced_vorbis.mka" << QByteArray("A_VORBIS") << 11 << qint64(9294) << qint64(50)
        << qint64(10166) << qint64(259) << qint64(1112) << qint64(0);
    QTest::newRow("EBML-laced Opus")
        << "laced_opus.mka" << QByteArray("A_OPUS") << 11 << qint64(5457) << qint64(316)
        << qint64(7861) << qint64(316) << qint64(2702) << qint64(5187500);
    QTest::newRow("Vorbis beside a picture track")
        << "vorbis_video.mkv" << QByteArray("A_VORBIS") << 11 << qint64(4623) << qint64(50)
        << qint64(5770) << qint64(259) << qint64(1112) << qint64(0);
    QTest::newRow("Opus in WebM") << "opus.webm" << QByteArray("A_OPUS") << 11 << qint64(517)
                                  << qint64(316) << qint64(2976) << qint64(316) << qint64(2702)
                                  << qint64(5187500);
}

void TestMatroskaBlocks::fixtureFramesAsMkvinfoListsThem()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, codec);
    QFETCH(int, count);
    QFETCH(qint64, firstOffset);
    QFETCH(qint64, firstBytes);
    QFETCH(qint64, lastOffset);
    QFETCH(qint64, lastBytes);
    QFETCH(qint64, totalBytes);
    QFETCH(qint64, lastPadding);
    Result<std::unique_ptr<BufferedFileReader>> reader =
        BufferedFileReader::open(audioFixture(QStringLiteral("formats/") + name));
    QVERIFY(reader.ok());
    std::vector<MatroskaBlocks::Frame> seen;
    const Result<void> result = MatroskaBlocks::walk(
        *reader.value(), codec, [&](const MatroskaBlocks::Frame &frame) -> Result<void> {
            seen.push_back(frame);
            return {};
        });
    QVERIFY2(result.ok(), qPrintable(result.ok() ? QString() : result.error()));
    QCOMPARE(int(seen.size()), count);
    QCOMPARE(seen.front().offset, firstOffset);
    QCOMPARE(seen.front().bytes, firstBytes);
    QCOMPARE(seen.back().offset, lastOffset);
    QCOMPARE(seen.back().bytes, lastBytes);
    qint64 total = 0;
    for (const MatroskaBlocks::Frame &frame : seen)
        total += frame.bytes;
    QCOMPARE(total, totalBytes);
    QCOMPARE(seen.back().discardPadding, lastPadding);
    QVERIFY(!MatroskaBlocks::walk(*reader.value(), "A_FLAC",
                                  [](const MatroskaBlocks::Frame &) -> Result<void> { return {}; })
                 .ok());
}

void TestMatroskaBlocks::visitorFailureEndsTheWalk()
{
    const QString path = write(file(AudioTrack + cluster(simple(1, "a") + simple(1, "b"))));
    Result<std::unique_ptr<BufferedFileReader>> reader = BufferedFileReader::open(path);
    QVERIFY(reader.ok());
    int calls = 0;
    const Result<void> result = MatroskaBlocks::walk(
        *reader.value(), "A_VORBIS", [&](const MatroskaBlocks::Frame &) -> Result<void> {
            ++calls;
            return Failure{QStringLiteral("enough")};
        });
    QVERIFY(!result.ok());
    QCOMPARE(result.error(), QStringLiteral("enough"));
    QCOMPARE(calls, 1);
}

QTEST_GUILESS_MAIN(TestMatroskaBlocks)
#include "tst_MatroskaBlocks.moc"
