#include "../fakes/FifoUnblocker.h"
#include "BufferedFileReader.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <limits>

#include <sys/stat.h>
#include <vector>

class TestBufferedFileReader : public QObject
{
    Q_OBJECT

  private slots:
    void seekTarget_data();
    void seekTarget();
    void initTestCase();
    void refused_data();
    void refused();
    void readsWhatTheFileHolds_data();
    void readsWhatTheFileHolds();
    void shrunkFileReadsShort();
    void rewrittenFileReadAfterNewBlockSize();
    void grownFileReadsNoMore();
    void refillsGrowOnwardAndStartSmallAfterAJump_data();
    void refillsGrowOnwardAndStartSmallAfterAJump();
    void contentEndsBeforeATailOfZeros_data();
    void contentEndsBeforeATailOfZeros();

  private:
    [[nodiscard]] QString writeFile(const QString &name, const QByteArray &bytes) const;
    [[nodiscard]] static QByteArray readBytes(audio::BufferedFileReader &reader, qint64 offset,
                                              qint64 count);

    QTemporaryDir m_dir;
    // Every byte depends on its position, so a read from the wrong offset shows.
    QByteArray m_pattern;
};

void TestBufferedFileReader::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_pattern.resize(3 * 1024 * 1024 + 123);
    for (qsizetype i = 0; i < m_pattern.size(); ++i)
        m_pattern[i] = char((i * 7 + i / 251) & 0xff);
}

QString TestBufferedFileReader::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray TestBufferedFileReader::readBytes(audio::BufferedFileReader &reader, qint64 offset,
                                             qint64 count)
{
    QByteArray bytes(count, '\0');
    const int64_t got = reader.read(offset, bytes.data(), std::size_t(count));
    return got < 0 ? QByteArray("error") : bytes.left(got);
}

// lseek()'s arithmetic on a 100-byte file, worked by hand.
void TestBufferedFileReader::seekTarget_data()
{
    QTest::addColumn<qint64>("position");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<int>("whence");
    QTest::addColumn<qint64>("target");

    QTest::newRow("set 0") << qint64(50) << qint64(0) << SEEK_SET << qint64(0);
    QTest::newRow("set to the end") << qint64(0) << qint64(100) << SEEK_SET << qint64(100);
    QTest::newRow("set past the end") << qint64(0) << qint64(101) << SEEK_SET << qint64(-1);
    QTest::newRow("set before the start") << qint64(0) << qint64(-1) << SEEK_SET << qint64(-1);
    QTest::newRow("forward") << qint64(50) << qint64(10) << SEEK_CUR << qint64(60);
    QTest::newRow("back to the start") << qint64(50) << qint64(-50) << SEEK_CUR << qint64(0);
    QTest::newRow("back too far") << qint64(50) << qint64(-51) << SEEK_CUR << qint64(-1);
    QTest::newRow("from the end") << qint64(0) << qint64(-10) << SEEK_END << qint64(90);
    QTest::newRow("past the end") << qint64(0) << qint64(1) << SEEK_END << qint64(-1);
    QTest::newRow("no overflow") << qint64(50) << std::numeric_limits<qint64>::max() << SEEK_CUR
                                 << qint64(-1);
    QTest::newRow("unknown whence") << qint64(0) << qint64(0) << 7 << qint64(-1);
}

void TestBufferedFileReader::seekTarget()
{
    QFETCH(qint64, position);
    QFETCH(qint64, offset);
    QFETCH(int, whence);
    QFETCH(qint64, target);
    Result<std::unique_ptr<audio::BufferedFileReader>> reader =
        audio::BufferedFileReader::open(writeFile(QStringLiteral("hundred"), QByteArray(100, 'x')));
    QVERIFY(reader.ok());
    QCOMPARE(reader.value()->seekTarget(position, offset, whence), target);
}

void TestBufferedFileReader::refused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    const QString fifo = m_dir.filePath(QStringLiteral("fifo"));
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = m_dir.filePath(QStringLiteral("link-to-fifo.mp3"));
    QVERIFY(QFile::link(fifo, link));

    QTest::newRow("empty name") << QString() << QStringLiteral("empty file name");
    QTest::newRow("missing") << m_dir.filePath(QStringLiteral("missing")) << "cannot open";
    QTest::newRow("directory") << m_dir.path() << "not a regular file";
    QTest::newRow("FIFO") << fifo << "not a regular file";
    QTest::newRow("link to a FIFO") << link << "not a regular file";
    QTest::newRow("character device") << QStringLiteral("/dev/zero") << "not a regular file";
    QTest::newRow("empty file") << writeFile(QStringLiteral("empty"), {}) << "empty file";
}

void TestBufferedFileReader::refused()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    const FifoUnblocker unblocker(path);
    QElapsedTimer clock;
    clock.start();
    const auto opened = audio::BufferedFileReader::open(path);
    QVERIFY(!opened);
    const QString error = opened.error();
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QStringLiteral("%1 ms").arg(clock.elapsed())));
    QVERIFY2(error.startsWith(reason), qPrintable(error));
}

void TestBufferedFileReader::readsWhatTheFileHolds_data()
{
    QTest::addColumn<qint64>("blockSize");
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<qint64>("count");
    const qint64 mib = 1024 * 1024;
    const qint64 size = m_pattern.size();
    QTest::newRow("small reads from the start") << 0ll << 0ll << 100ll;
    QTest::newRow("across a refill") << 0ll << mib - 10 << 1000ll;
    QTest::newRow("larger than a refill") << 0ll << 5ll << 2 * mib;
    QTest::newRow("small blocks, many refills") << 4096ll << 1000ll << 10000ll;
    QTest::newRow("reads of a whole block") << 4096ll << 3ll << 4096ll;
    QTest::newRow("cut at the end") << 0ll << size - 50 << 200ll;
    QTest::newRow("at the end") << 0ll << size << 10ll;
    QTest::newRow("past the end") << 0ll << size + 5 << 10ll;
}

// A read at the start, then two one after the other from offset on, as a
// decoder makes them; each compared with the bytes written.
void TestBufferedFileReader::readsWhatTheFileHolds()
{
    QFETCH(qint64, blockSize);
    QFETCH(qint64, offset);
    QFETCH(qint64, count);
    const QString path = writeFile(QStringLiteral("pattern"), m_pattern);
    auto opened = audio::BufferedFileReader::open(path);
    QVERIFY2(opened, qPrintable(opened.error()));
    const std::unique_ptr<audio::BufferedFileReader> reader = std::move(opened).value();
    QCOMPARE(reader->size(), m_pattern.size());
    if (blockSize > 0)
        reader->setBlockSize(std::size_t(blockSize));
    QCOMPARE(readBytes(*reader, 0, 16), m_pattern.left(16));
    QCOMPARE(readBytes(*reader, offset, count), m_pattern.mid(offset, count));
    QCOMPARE(readBytes(*reader, offset + count, count), m_pattern.mid(offset + count, count));
    QCOMPARE(readBytes(*reader, -1, 10), QByteArray("error"));
}

// Reads stop where the file now ends, not where it ended when opened.
void TestBufferedFileReader::shrunkFileReadsShort()
{
    const QString path = writeFile(QStringLiteral("shrinking"), m_pattern);
    auto opened = audio::BufferedFileReader::open(path);
    QVERIFY2(opened, qPrintable(opened.error()));
    const std::unique_ptr<audio::BufferedFileReader> reader = std::move(opened).value();
    reader->setBlockSize(64 * 1024);
    QCOMPARE(readBytes(*reader, 0, 1000), m_pattern.left(1000));

    QVERIFY(QFile::resize(path, 200 * 1024));
    QCOMPARE(readBytes(*reader, 100 * 1024, 1000), m_pattern.mid(100 * 1024, 1000));
    QCOMPARE(readBytes(*reader, 199 * 1024, 4096), m_pattern.mid(199 * 1024, 1024));
    QCOMPARE(readBytes(*reader, 300 * 1024, 4096), QByteArray());
    QCOMPARE(readBytes(*reader, 1024 * 1024, 2 * 1024 * 1024), QByteArray());

    QVERIFY(QFile::resize(path, 0));
    QCOMPARE(readBytes(*reader, 2 * 1024 * 1024, 10), QByteArray());
    const Result<std::vector<uint8_t>> all = reader->readAll();
    QVERIFY2(all, qPrintable(all.error()));
    QVERIFY(all.value().empty());
    QCOMPARE(reader->size(), m_pattern.size());
}

// A new block size drops what the buffer holds: the next read sees the file
// as it is now.
void TestBufferedFileReader::rewrittenFileReadAfterNewBlockSize()
{
    const QString path = writeFile(QStringLiteral("rewritten"), m_pattern.left(100000));
    auto opened = audio::BufferedFileReader::open(path);
    QVERIFY2(opened, qPrintable(opened.error()));
    const std::unique_ptr<audio::BufferedFileReader> reader = std::move(opened).value();
    QCOMPARE(readBytes(*reader, 0, 16), m_pattern.left(16));

    const QByteArray other(100000, 'x');
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QCOMPARE(file.write(other), other.size());
    file.close();
    reader->setBlockSize(4096);
    QCOMPARE(readBytes(*reader, 0, 16), other.left(16));
    QCOMPARE(readBytes(*reader, 5000, 16), other.left(16));
}

// Bytes appended after opening are never read.
void TestBufferedFileReader::grownFileReadsNoMore()
{
    const QByteArray first = m_pattern.left(100 * 1024);
    const QString path = writeFile(QStringLiteral("growing"), first);
    auto opened = audio::BufferedFileReader::open(path);
    QVERIFY2(opened, qPrintable(opened.error()));
    const std::unique_ptr<audio::BufferedFileReader> reader = std::move(opened).value();
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QCOMPARE(file.write(m_pattern.mid(first.size(), first.size())), first.size());
    file.close();

    QCOMPARE(readBytes(*reader, 90 * 1024, 20 * 1024), first.mid(90 * 1024));
    QCOMPARE(readBytes(*reader, 0, 300 * 1024), first);
    const Result<std::vector<uint8_t>> all = reader->readAll();
    QVERIFY2(all, qPrintable(all.error()));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(all.value().data()),
                        qsizetype(all.value().size())),
             first);
}

void TestBufferedFileReader::refillsGrowOnwardAndStartSmallAfterAJump_data()
{
    QTest::addColumn<QList<qint64>>("reads");
    QTest::addColumn<qint64>("changed");
    QTest::addColumn<bool>("seen");
    // One-byte reads; the first refill after a jump holds 64 KiB (65,536
    // bytes), each onward one twice the last, up to the 1 MiB block size. A
    // byte changed in the file after these reads is seen only where no refill
    // holds it yet.
    const qint64 k = 1024;
    QTest::newRow("first refill: its last byte") << QList<qint64>{0} << 64 * k - 1 << false;
    QTest::newRow("first refill: past it") << QList<qint64>{0} << 64 * k << true;
    QTest::newRow("onward: twice as much, its last byte")
        << QList<qint64>{0, 64 * k} << 192 * k - 1 << false;
    QTest::newRow("onward: past it") << QList<qint64>{0, 64 * k} << 192 * k << true;
    QTest::newRow("a little past the end still counts as onward")
        << QList<qint64>{0, 70000} << 70000 + 128 * k - 1 << false;
    QTest::newRow("a jump a refill past the end starts small")
        << QList<qint64>{0, 64 * k, 192 * k + 128 * k} << 320 * k + 64 * k << true;
    QTest::newRow("a jump back starts small")
        << QList<qint64>{0, 64 * k, 1000} << 1000 + 64 * k << true;
    // 64, 128, 256 and 512 KiB, then 1 MiB twice.
    QTest::newRow("growth stops at the block size")
        << QList<qint64>{0, 64 * k, 192 * k, 448 * k, 960 * k, 1984 * k} << 3008 * k << true;
    QTest::newRow("growth reaches the block size")
        << QList<qint64>{0, 64 * k, 192 * k, 448 * k, 960 * k, 1984 * k} << 3008 * k - 1 << false;
}

// What each refill holds, seen through a byte changed after it.
void TestBufferedFileReader::refillsGrowOnwardAndStartSmallAfterAJump()
{
    QFETCH(QList<qint64>, reads);
    QFETCH(qint64, changed);
    QFETCH(bool, seen);
    const QString path = writeFile(QStringLiteral("refills"), m_pattern);
    auto opened = audio::BufferedFileReader::open(path);
    QVERIFY2(opened, qPrintable(opened.error()));
    const std::unique_ptr<audio::BufferedFileReader> reader = std::move(opened).value();
    for (const qint64 at : reads)
        QCOMPARE(readBytes(*reader, at, 1), m_pattern.mid(at, 1));

    const char other = char(~m_pattern[changed]);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.seek(changed));
    QVERIFY(file.putChar(other));
    file.close();
    QCOMPARE(readBytes(*reader, changed, 1),
             seen ? QByteArray(1, other) : m_pattern.mid(changed, 1));
}

void TestBufferedFileReader::contentEndsBeforeATailOfZeros_data()
{
    QTest::addColumn<qint64>("content");
    QTest::addColumn<qint64>("zeros");
    QTest::addColumn<bool>("sparse");
    const qint64 mib = qint64(1) << 20;
    // Content lengths on and off block boundaries; zero runs just short of
    // the least that counts, at it, past the read-back limit.
    for (const qint64 content : {qint64(1), 3 * mib + 123, 5 * mib - 1}) {
        for (const qint64 zeros : {mib - 1, mib, 3 * mib + 7, 200 * mib}) {
            for (const bool sparse : {false, true}) {
                if (!sparse && zeros > 10 * mib)
                    continue;
                QTest::addRow("%lld + %lld zeros%s", content, zeros, sparse ? ", sparse" : "")
                    << content << zeros << sparse;
            }
        }
    }
    QTest::newRow("4 GiB of sparse zeros") << 3 * mib + 123 << (qint64(4) << 30) << true;
}

// The content's end is its last non-zero byte where at least a mebibyte of
// zeros follows, and the file's size otherwise; found at once.
void TestBufferedFileReader::contentEndsBeforeATailOfZeros()
{
    QFETCH(qint64, content);
    QFETCH(qint64, zeros);
    QFETCH(bool, sparse);
    QByteArray bytes(content, Qt::Uninitialized);
    for (qsizetype i = 0; i < content; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xff);
    // The pattern's bytes may be 0; the last content byte is not.
    bytes[content - 1] = char(0x5a);
    if (!sparse)
        bytes.append(QByteArray(zeros, '\0'));
    const QString path =
        writeFile(QStringLiteral("tail-%1-%2-%3").arg(content).arg(zeros).arg(sparse), bytes);
    if (sparse)
        QVERIFY(QFile::resize(path, content + zeros));
    Result<std::unique_ptr<audio::BufferedFileReader>> reader =
        audio::BufferedFileReader::open(path);
    QVERIFY2(reader.ok(), qPrintable(reader.error()));
    QElapsedTimer clock;
    clock.start();
    const qint64 expected = zeros >= (qint64(1) << 20) ? content : content + zeros;
    QCOMPARE(reader.value()->contentEnd(), expected);
    QVERIFY(clock.elapsed() < 500);
    QCOMPARE(reader.value()->size(), content + zeros);
    QFile::remove(path);
}

QTEST_GUILESS_MAIN(TestBufferedFileReader)
#include "tst_BufferedFileReader.moc"
