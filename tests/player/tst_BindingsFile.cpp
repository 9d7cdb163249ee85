#include "BindingsFile.h"
#include "CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QtTest>

using namespace plovi;

namespace {

// Records flattened as path, name, path, name, ...
QStringList flatten(const std::vector<TrackBinding> &records)
{
    QStringList out;
    for (const TrackBinding &r : records) {
        out << r.FullPath << r.ShortName;
    }
    return out;
}

std::vector<TrackBinding> fifteen(const std::vector<TrackBinding> &first)
{
    std::vector<TrackBinding> rows = first;
    rows.resize(kTrackSlots);
    return rows;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestBindingsFile : public QObject
{
    Q_OBJECT
  private slots:
    void parse_data();
    void parse();
    void formatOfEmptyRows();
    void roundTrip_data();
    void roundTrip();
    void gbkFileRewritesByteForByte();
    void missingFileIsNoError();
    void sixteenthRecordIgnored();
    void failedSaveLeavesOldFile_data();
    void failedSaveLeavesOldFile();
    void saveOverDirectoryFails();
};

void TestBindingsFile::parse_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("empty file") << QByteArray() << QStringList();
    QTest::newRow("one record") << QByteArray("\"D:\\music\\song1.mp3\",\"song1\"\r\n")
                                << QStringList{"D:\\music\\song1.mp3", "song1"};
    QTest::newRow("comma inside quotes")
        << QByteArray("\"D:\\a,b\\c.mp3\",\"x\"\r\n") << QStringList{"D:\\a,b\\c.mp3", "x"};
    QTest::newRow("spaces kept inside quotes")
        << QByteArray("\"  p \",\"  name  \"\r\n") << QStringList{"  p ", "  name  "};
    QTest::newRow("empty fields") << QByteArray("\"\",\"\"\r\n") << QStringList{"", ""};
    QTest::newRow("three lines") << QByteArray("\"a\",\"1\"\r\n\"b\",\"2\"\r\n\"c\",\"3\"\r\n")
                                 << QStringList{"a", "1", "b", "2", "c", "3"};
    QTest::newRow("no final line end") << QByteArray("\"a\",\"1\"") << QStringList{"a", "1"};
    QTest::newRow("LF line ends") << QByteArray("\"a\",\"1\"\n\"b\",\"2\"\n")
                                  << QStringList{"a", "1", "b", "2"};
    QTest::newRow("lone first field at the end")
        << QByteArray("\"a\",\"1\"\r\n\"b\"\r\n") << QStringList{"a", "1", "b", ""};
    QTest::newRow("lone first field without line end")
        << QByteArray("\"a\",\"1\"\r\n\"b\"") << QStringList{"a", "1", "b", ""};
    QTest::newRow("blank lines skipped")
        << QByteArray("\r\n\"a\",\"1\"\r\n\r\n  \r\n\"b\",\"2\"\r\n\r\n\r\n")
        << QStringList{"a", "1", "b", "2"};
    QTest::newRow("spaces before fields skipped")
        << QByteArray("   \"a\",   \"1\"\r\n") << QStringList{"a", "1"};
    QTest::newRow("unquoted fields") << QByteArray("a b,c d\r\n") << QStringList{"a b", "c d"};
    QTest::newRow("text after closing quote dropped")
        << QByteArray("\"a\"xyz,\"1\"junk\r\n\"b\",\"2\"\r\n") << QStringList{"a", "1", "b", "2"};
    QTest::newRow("fields across lines")
        << QByteArray("\"a\",\r\n\"1\"\r\n") << QStringList{"a", "", "1", ""};
    QTest::newRow("unterminated quote runs to the end")
        << QByteArray("\"a\",\"na,me\r\n") << QStringList{"a", "na,me\r\n"};
    QTest::newRow("quote inside a field ends it early")
        << QByteArray("\"say \"hi\"\",\"n\"\r\n") << QStringList{"say ", "n"};
    QTest::newRow("GBK text") << QByteArray(
                                     "\"D:\\\xD2\xF4\xC0\xD6\\a.mp3\",\"\xC4\xE3\xBA\xC3\"\r\n")
                              << QStringList{QStringLiteral("D:\\音乐\\a.mp3"),
                                             QStringLiteral("你好")};
    QTest::newRow("invalid bytes replaced")
        << QByteArray("\"\xFF\",\"x\"\r\n") << QStringList{QStringLiteral("\uFFFD"), "x"};
}

void TestBindingsFile::parse()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QCOMPARE(flatten(BindingsFile::parse(bytes)), expected);
}

void TestBindingsFile::formatOfEmptyRows()
{
    const QByteArray bytes = BindingsFile::format(fifteen({}));
    QCOMPARE(bytes.size(), 105);
    QCOMPARE(bytes, QByteArray("\"\",\"\"\r\n").repeated(15));
    QCOMPARE(BindingsFile::format({{"D:\\music\\song1.mp3", "song1"}}).size(), 28 + 2);
}

void TestBindingsFile::roundTrip_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << "D:\\music\\song1.mp3"
                           << "song1";
    QTest::newRow("comma and spaces") << " /home/u/a,b c.mp3 "
                                      << "  两端有空格  ";
    QTest::newRow("Chinese") << QStringLiteral("/音乐/天空之城.mp3") << QStringLiteral("天空之城");
    QTest::newRow("Korean path") << QStringLiteral("/home/u/음악/노래.mp3") << "k";
    QTest::newRow("emoji path") << QStringLiteral("/home/u/\U0001F3B5.mp3")
                                << QStringLiteral("\U0001F3B5");
    QTest::newRow("empty path, named") << ""
                                       << "name";
}

void TestBindingsFile::roundTrip()
{
    QFETCH(QString, path);
    QFETCH(QString, name);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const BindingsFile file(dir.filePath("yygj"));
    std::vector<TrackBinding> rows = fifteen({{"first", "1"}});
    rows[7] = {path, name};
    const Result<void> written = file.save(rows);
    QVERIFY2(written.ok(), qPrintable(written.error()));
    const Result<std::vector<TrackBinding>> read = file.read();
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(flatten(read.value()), flatten(rows));
    QVERIFY(!readBytes(file.path()).contains('?'));
}

void TestBindingsFile::gbkFileRewritesByteForByte()
{
    const QByteArray gbk =
        QByteArray("\"D:\\\xD2\xF4\xC0\xD6\\\xB8\xE8.mp3\",\"\xB8\xE8\xC7\xFA\"\r\n") +
        QByteArray("\"\",\"\"\r\n").repeated(14);
    QCOMPARE(BindingsFile::format(BindingsFile::parse(gbk)), gbk);
}

void TestBindingsFile::missingFileIsNoError()
{
    QTemporaryDir dir;
    const Result<std::vector<TrackBinding>> read = BindingsFile(dir.filePath("yygj")).read();
    QVERIFY(read.ok());
    QVERIFY(read->empty());
}

void TestBindingsFile::sixteenthRecordIgnored()
{
    const QByteArray bytes = QByteArray("\"p\",\"n\"\r\n").repeated(20);
    QCOMPARE(BindingsFile::parse(bytes).size(), size_t(kTrackSlots));
}

void TestBindingsFile::failedSaveLeavesOldFile_data()
{
    QTest::addColumn<QString>("target"); // in the test's directory
    // "notadir" is a regular file: no folder can exist there, even for root.
    QTest::newRow("folder is a regular file") << "notadir/yygj";
    QTest::newRow("directory missing") << "missing/yygj";
}

void TestBindingsFile::saveOverDirectoryFails()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("yygj"));
    const Result<void> written = BindingsFile(dir.filePath("yygj")).save(fifteen({}));
    QVERIFY(!written.ok());
    QVERIFY(!written.error().isEmpty());
    QVERIFY(QFileInfo(dir.filePath("yygj")).isDir());
}

void TestBindingsFile::failedSaveLeavesOldFile()
{
    QFETCH(QString, target);
    QTemporaryDir dir;
    const QByteArray old("\"old\",\"o\"\r\n");
    for (const char *name : {"yygj", "notadir"}) {
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(old), qint64(old.size()));
    }
    const Result<void> written = BindingsFile(dir.filePath(target)).save(fifteen({{"new", "n"}}));
    QVERIFY(!written.ok());
    QVERIFY(!written.error().isEmpty());
    QCOMPARE(readBytes(dir.filePath("yygj")), old);
    QVERIFY(QFileInfo(dir.filePath("notadir")).isFile());
    QCOMPARE(readBytes(dir.filePath("notadir")), old);
    QVERIFY(!QFileInfo::exists(dir.filePath("missing")));
}

QTEST_GUILESS_MAIN(TestBindingsFile)
#include "tst_BindingsFile.moc"
