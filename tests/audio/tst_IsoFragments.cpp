#include "AudioFixtures.h"
#include "BufferedFileReader.h"
#include "FfmpegSource.h"
#include "IsoFragments.h"
#include "LinkedFfmpegFormats.h"

#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <functional>

using namespace audio;

namespace {

// fragmented.m4a, box by box: four "moof" boxes, each with one "traf" whose
// "tfhd" (flags 0x39) states a default sample size, and one "trun". The first
// three list a size per sample (flags 0x201), three samples each; the last
// (at 3336, 108 bytes) lists none (flags 0x001): one sample of the default
// 318 bytes. "trex" (in moov/mvex) states a default size of 0.
constexpr qsizetype FileBytes = 3894;
constexpr qsizetype FirstTrun = 801; // 32 bytes: 12 of header, 4 of data offset, 3 rows of 4
constexpr qsizetype LastMoof = 3336;
constexpr qsizetype LastTfhd = 3368;
constexpr qsizetype LastTrun = 3424;
constexpr qsizetype Trex = 583;

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToBigEndian(value, bytes.data() + at);
}

} // namespace

class TestIsoFragments : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void leastSampleBytes_data();
    void leastSampleBytes();
    void countBeyondTheFileRefusedBeforeFfmpegReadsIt();

  private:
    [[nodiscard]] QString written(const QByteArray &bytes, const QString &name);

    QTemporaryDir m_dir;
    QByteArray m_fragmented;
};

void TestIsoFragments::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_fragmented = readFile(audioFixture(QStringLiteral("formats/fragmented.m4a")));
    QCOMPARE(m_fragmented.size(), FileBytes);
    // The layout the rows below change.
    QCOMPARE(m_fragmented.mid(FirstTrun + 4, 4), QByteArray("trun"));
    QCOMPARE(m_fragmented.mid(LastMoof + 4, 4), QByteArray("moof"));
    QCOMPARE(m_fragmented.mid(LastTfhd + 4, 4), QByteArray("tfhd"));
    QCOMPARE(m_fragmented.mid(LastTrun + 4, 4), QByteArray("trun"));
    QCOMPARE(m_fragmented.mid(Trex + 4, 4), QByteArray("trex"));
}

QString TestIsoFragments::written(const QByteArray &bytes, const QString &name)
{
    const QString path = m_dir.filePath(name);
    return writeFile(path, bytes) ? path : QString();
}

void TestIsoFragments::leastSampleBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("expected");
    const auto row = [this](const char *name, qint64 expected,
                            const std::function<void(QByteArray &)> &change) {
        QByteArray bytes = m_fragmented;
        change(bytes);
        QTest::newRow(name) << bytes << expected;
    };
    const auto unchanged = [](QByteArray &) {};
    // Nine listed samples at a byte each, and 318.
    row("as written", 9 + 318, unchanged);
    row("last run of 12 samples", 9 + 12 * 318, [](QByteArray &b) { put32(b, LastTrun + 12, 12); });
    // 2^25 + 255 samples of 318 bytes: what would make FFmpeg fill 800 MB.
    row("last run of 33,554,687 samples", 9 + 10670390466LL,
        [](QByteArray &b) { put32(b, LastTrun + 12, 33554687); });
    row("last run of 2^32 - 1 samples", 9 + 1365799599810LL,
        [](QByteArray &b) { put32(b, LastTrun + 12, 0xffffffffu); });
    // Without the fragment's own default, the track's applies.
    row("last fragment without a default size, the track's 0: a byte each", 9 + 1,
        [](QByteArray &b) { put32(b, LastTfhd + 8, 0x29); });
    row("last fragment without a default size, the track's 500", 9 + 500, [](QByteArray &b) {
        put32(b, LastTfhd + 8, 0x29);
        put32(b, Trex + 8 + 16, 500);
    });
    row("the fragment's default before the track's", 9 + 318,
        [](QByteArray &b) { put32(b, Trex + 8 + 16, 500); });
    row("a default of another track does not apply", 9 + 1, [](QByteArray &b) {
        put32(b, LastTfhd + 8, 0x29);
        put32(b, Trex + 8 + 16, 500);
        put32(b, Trex + 8 + 4, 2);
    });
    // The first run's box has room for three rows of four bytes.
    row("a table of four rows in room for three", INT64_MAX,
        [](QByteArray &b) { put32(b, FirstTrun + 12, 4); });
    row("rows of two fields in room for three of one", INT64_MAX,
        [](QByteArray &b) { put32(b, FirstTrun + 8, 0x301); });
    row("a table of two rows: a byte each", 8 + 318,
        [](QByteArray &b) { put32(b, FirstTrun + 12, 2); });
    row("the last fragment's size 0: it runs to the end", 9 + 318,
        [](QByteArray &b) { put32(b, LastMoof, 0); });
    row("the last fragment with a 64-bit size", 9 + 318, [](QByteArray &b) {
        QByteArray large(16, 0);
        put32(large, 0, 1);
        large.replace(4, 4, "moof");
        put32(large, 12, 108 + 8);
        b.replace(LastMoof, 8, large);
    });
    // A fragment's box is read only as far as its parent reaches.
    row("the last fragment cut off before its run", 9,
        [](QByteArray &b) { put32(b, LastMoof, LastTrun - LastMoof); });
    row("a box of size 4 ends the walk", 9, [](QByteArray &b) { put32(b, LastMoof, 4); });
    row("no fragments", 0, [](QByteArray &b) { b = readFile(audioFixture("formats/tone.m4a")); });
}

void TestIsoFragments::leastSampleBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, expected);
    const QString path = written(bytes, QStringLiteral("least.m4a"));
    QVERIFY(!path.isEmpty());
    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    QVERIFY2(file, qPrintable(file.error()));
    QCOMPARE(IsoFragments::leastSampleBytes(*file.value()), expected);
}

// A run counting 2^25 samples in a 4 KB file: neither loading it nor looking
// at it in the settings dialog gets as far as FFmpeg setting memory aside.
void TestIsoFragments::countBeyondTheFileRefusedBeforeFfmpegReadsIt()
{
    QByteArray bytes = m_fragmented;
    put32(bytes, LastTrun + 12, 33554687);
    const QString path = written(bytes, QStringLiteral("forged.m4a"));
    QVERIFY(!path.isEmpty());

    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    QVERIFY2(file, qPrintable(file.error()));
    LinkedFfmpegFormats formats;
    QVERIFY(formats.handles(*file.value()));
    QVERIFY(!formats.probe(*file.value()).recognised);
    const Result<std::unique_ptr<FfmpegSource>> source =
        FfmpegSource::open(std::move(file).value());
    QVERIFY(!source);
    QVERIFY2(source.error().contains(QStringLiteral("fragments")), qPrintable(source.error()));

    // Twelve samples of 318 bytes fit in the file: FFmpeg reads it, and finds
    // the samples missing.
    put32(bytes, LastTrun + 12, 12);
    Result<std::unique_ptr<BufferedFileReader>> fits =
        BufferedFileReader::open(written(bytes, QStringLiteral("fits.m4a")));
    QVERIFY2(fits, qPrintable(fits.error()));
    QVERIFY(formats.probe(*fits.value()).recognised);
}

QTEST_GUILESS_MAIN(TestIsoFragments)
#include "tst_IsoFragments.moc"
