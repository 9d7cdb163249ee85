#include "WmaSuperframes.h"

#include <QtTest>

#include <vector>

using audio::AsfPayloads;
using audio::WmaSuperframes;
using Blocks = std::vector<AsfPayloads::Block>;
using Format = WmaSuperframes::Format;
Q_DECLARE_METATYPE(Blocks)
Q_DECLARE_METATYPE(Format)

namespace {

// A superframe's first bytes: 4 bits of index, 4 of count, then an offset
// field of width bits, most significant bits first.
AsfPayloads::Block superframe(int count, int offset = 0, int width = 12, int64_t time = -1,
                              int index = 0)
{
    const uint64_t bits =
        (uint64_t(index) << 60) | (uint64_t(count) << 56) | (uint64_t(offset) << (56 - width));
    AsfPayloads::Block block;
    for (int i = 0; i < AsfPayloads::HeadBytes; ++i)
        block.head[std::size_t(i)] = uint8_t(bits >> (56 - 8 * i));
    block.objectTime = time;
    return block;
}

// As the Windows encoder writes WMA 2 at 64 kbit/s: 48 kHz stereo, frames of
// 2,048 samples, superframes of 2,731 bytes. The offset field: 64,008 /
// 96,000 bits a sample, times 2,048, over 8, plus a half: 171 bytes, whose
// log2 (7) plus 2 bits of bytes and 3 of bits make 12.
const Format Windows64k{2, 48000, 2, 64008, 2731};
// 8 kHz mono at 8 kbit/s: frames of 512 samples; 1 bit a sample, 64.5: log2
// 6, so an 11-bit offset; superframes of 8 bytes leave 64 - 8 - 11 = 45 bits
// after the header.
const Format Tiny{2, 8000, 1, 8000, 8};

} // namespace

class TestWmaSuperframes : public QObject
{
    Q_OBJECT

  private slots:
    void frameLength_data();
    void frameLength();
    void decodedFrames_data();
    void decodedFrames();
};

void TestWmaSuperframes::frameLength_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("length");
    QTest::newRow("8 kHz") << 2 << 8000 << 512;
    QTest::newRow("16 kHz") << 2 << 16000 << 512;
    QTest::newRow("22.05 kHz") << 2 << 22050 << 1024;
    QTest::newRow("32 kHz, version 1") << 1 << 32000 << 1024;
    QTest::newRow("32 kHz, version 2") << 2 << 32000 << 2048;
    QTest::newRow("44.1 kHz, version 1") << 1 << 44100 << 2048;
}

// ff_wma_get_frame_len_bits: 9 bits up to 16 kHz, 10 up to 22.05 kHz (32 kHz
// for version 1), 11 above.
void TestWmaSuperframes::frameLength()
{
    QFETCH(int, version);
    QFETCH(int, rate);
    QFETCH(int, length);
    QCOMPARE(WmaSuperframes::frameLength(version, rate), length);
}

void TestWmaSuperframes::decodedFrames_data()
{
    QTest::addColumn<Blocks>("blocks");
    QTest::addColumn<Format>("format");
    QTest::addColumn<qint64>("frames"); // -1: fails
    QTest::addColumn<QString>("failure");
    const auto yields = [](const char *name, const Blocks &blocks, qint64 frames,
                           const Format &format = Windows64k) {
        QTest::newRow(name) << blocks << format << frames << QString();
    };
    const auto fails = [](const char *name, const Blocks &blocks, const char *failure,
                          const Format &format = Windows64k) {
        QTest::newRow(name) << blocks << format << qint64(-1) << QString::fromLatin1(failure);
    };
    const AsfPayloads::Block nine = superframe(9);
    const AsfPayloads::Block eight = superframe(8);

    // The first superframe yields one frame fewer than it counts; the end
    // yields one more; 2 x 2,048 samples are dropped.
    yields("no superframes", {}, 0);
    yields("one superframe of 9", {nine}, (9 - 1 + 1 - 2) * 2048);
    Blocks fixture(11, eight);
    fixture[0] = nine;
    yields("as the fixture: 9, then ten of 8", fixture, (9 + 80 - 2) * 2048);
    yields("the first counting 2", {superframe(2)}, 0);
    yields("the first counting 2, then 1", {superframe(2), superframe(1)}, 2048);
    yields("15 frames in each", Blocks(3, superframe(15)), (45 - 2) * 2048);
    yields("the index ignored", {superframe(9, 0, 12, -1, 3), superframe(8, 0, 12, -1, 15)},
           (9 + 8 - 2) * 2048);
    yields("frames of 512 samples", {superframe(3, 0, 11), superframe(2, 0, 11)}, (3 + 2 - 2) * 512,
           Tiny);
    fails("the first counting 1: held back whole", {superframe(1), eight}, "holds back");
    fails("the first counting 0", {superframe(0), eight}, "holds back");
    fails("a later one counting 0", {nine, superframe(0), eight}, "holds back");

    yields("offset at the last bit", {superframe(3, 45, 11), superframe(2, 45, 11)}, 3 * 512, Tiny);
    fails("offset a bit past the end", {superframe(3, 0, 11), superframe(2, 46, 11)}, "offset past",
          Tiny);
    fails("the first superframe's offset past the end", {superframe(3, 46, 11)}, "offset past",
          Tiny);

    // From the second object on: 2,048 samples at 48 kHz are 42.667 ms, a
    // quarter of them 10.667 ms. The first object's time does not count.
    const auto timed = [](int count, int64_t time) { return superframe(count, 0, 12, time); };
    yields("times of the fixture", {timed(9, 1451), timed(8, 1749), timed(8, 2091), timed(8, 2433)},
           (33 - 2) * 2048);
    yields("the first object's time ignored", {timed(9, 0), timed(8, 1749), timed(8, 2091)},
           (25 - 2) * 2048);
    yields("blocks between objects", {timed(9, 1451), timed(8, 1749), eight, timed(8, 2433)},
           (33 - 2) * 2048);
    // 8 frames: 341.333 ms.
    yields("a time a quarter frame late", {nine, timed(8, 1000), timed(8, 1352)}, (25 - 2) * 2048);
    yields("a time 10.333 ms early", {nine, timed(8, 1000), timed(8, 1331)}, (25 - 2) * 2048);
    fails("a time 11.667 ms late", {nine, timed(8, 1000), timed(8, 1353)}, "contradict");
    fails("a time 11.333 ms early", {nine, timed(8, 1000), timed(8, 1330)}, "contradict");
    fails("a time a frame short", {nine, timed(8, 1000), timed(8, 1299)}, "contradict");
    fails("a count a frame over its times", {nine, timed(9, 1000), timed(8, 1341)}, "contradict");
    fails("times going back", {nine, timed(8, 1000), timed(8, 659)}, "contradict");

    fails("three channels", {nine}, "does not cover", Format{2, 48000, 3, 64008, 2731});
    fails("no rate", {nine}, "does not cover", Format{2, 0, 2, 64008, 2731});
    fails("over 50 kHz", {nine}, "does not cover", Format{2, 50001, 2, 64008, 2731});
    fails("no bit rate", {nine}, "does not cover", Format{2, 48000, 2, 0, 2731});
    fails("superframes over 16 KiB", {nine}, "does not cover", Format{2, 48000, 2, 64008, 16385});
    fails("superframes under 8 bytes", {nine}, "does not cover", Format{2, 48000, 2, 64008, 7});
    fails("version 3", {nine}, "does not cover", Format{3, 48000, 2, 64008, 2731});
    yields("superframes of 16 KiB", {nine}, 7 * 2048, Format{2, 48000, 2, 64008, 16384});
    // 2^31 bits a second at 8 kHz, mono: 268,435.456 bits a sample,
    // 17,179,869 bytes a frame of 512 (log2 24): a 29-bit field, over the
    // decoder's 25. At 2^30, 8,589,935 bytes (log2 23): 28 bits. At 2^27,
    // 1,073,742 bytes (log2 20): 25 bits, which it takes.
    // 15,950 bits a second at 8 kHz, mono: 1.99375 bits a sample, 127.6 bytes
    // a frame of 512, 128 once rounded (log2 7): 12 bits, 44 left in 8 bytes.
    yields("an offset field rounded up to 12 bits", {superframe(3, 44, 12)}, 512,
           Format{2, 8000, 1, 15950, 8});
    fails("rounded up to 12 bits, offset past the end", {superframe(3, 45, 12)}, "offset past",
          Format{2, 8000, 1, 15950, 8});
    fails("an offset field of 29 bits", {superframe(3, 0, 29)}, "refuses",
          Format{2, 8000, 1, int64_t(1) << 31, 8});
    fails("an offset field of 28 bits", {superframe(3, 0, 28)}, "refuses",
          Format{2, 8000, 1, int64_t(1) << 30, 8});
    yields("an offset field of 25 bits", {superframe(3, 31, 25)}, 512,
           Format{2, 8000, 1, int64_t(1) << 27, 8});
    fails("25 bits, offset past the end", {superframe(3, 32, 25)}, "offset past",
          Format{2, 8000, 1, int64_t(1) << 27, 8});
}

// Counts worked out by hand from the decoder's rule: a superframe yields as
// many frames as it counts (one fewer for the first), the end one more, and
// two frames' samples are dropped.
void TestWmaSuperframes::decodedFrames()
{
    QFETCH(Blocks, blocks);
    QFETCH(Format, format);
    QFETCH(qint64, frames);
    QFETCH(QString, failure);
    const Result<int64_t> counted = WmaSuperframes::decodedFrames(blocks, format);
    if (!failure.isEmpty()) {
        QVERIFY(!counted.ok());
        QVERIFY2(counted.error().contains(failure), qPrintable(counted.error()));
        return;
    }
    QVERIFY2(counted.ok(), qPrintable(counted.error()));
    QCOMPARE(counted.value(), frames);
}

QTEST_GUILESS_MAIN(TestWmaSuperframes)
#include "tst_WmaSuperframes.moc"
