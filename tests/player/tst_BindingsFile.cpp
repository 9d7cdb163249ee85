#include "../fakes/FifoUnblocker.h"
#include "BindingsFile.h"
#include "CodePage.h"
#include "FileSizeLimit.h"
#include "SystemErrorText.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDevice>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Every name in the folder, sorted.
QStringList entries(const QString &dir)
{
    return QDir(dir).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Fifteen records whose saved form is about the given size.
std::vector<TrackBinding> rowsOfSize(qsizetype bytes)
{
    const qsizetype each = bytes / kTrackSlots;
    std::vector<TrackBinding> rows;
    for (int i = 0; i < kTrackSlots; ++i) {
        rows.push_back({"/" + QString(each - 10, QLatin1Char('a' + i)), "n"});
    }
    return rows;
}

bool setModified(const QString &path, const QDateTime &when)
{
    const timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0) == 0;
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
    void saveIntoFolderThatIsAFileFails();
    void saveFailsAtFileSizeLimit_data();
    void saveFailsAtFileSizeLimit();
    void savedFileMode_data();
    void savedFileMode();
    void saveWritesThroughLink();
    void saveRemovesOnlyStaleTempFiles();
    void twoProcessesSaveAtOnce();
    void planKeepsWhatWasNotEdited();
    void refusesNonRegularFile_data();
    void refusesNonRegularFile();

    void readStopsAtOneMebibyte_data();
    void readStopsAtOneMebibyte();
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
    QTest::newRow("byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBF\"/a\",\"1\"\r\n") << QStringList{"/a", "1"};
    QTest::newRow("a lone path takes no name from the next line")
        << QByteArray("\"/a\"\r\n\"/b\",\"b\"\r\n") << QStringList{"/a", "", "/b", "b"};
    QTest::newRow("quote inside an unquoted field")
        << QByteArray("/m/a\"b.mp3,q\r\n") << QStringList{"/m/a\"b.mp3", "q"};
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

void TestBindingsFile::saveIntoFolderThatIsAFileFails()
{
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath("plain"), "keep"));
    const Result<void> written = BindingsFile(dir.filePath("plain/yygj")).save(fifteen({}));
    QVERIFY(!written.ok());
    QCOMPARE(written.error(), systemErrorText(ENOTDIR));
    QCOMPARE(readBytes(dir.filePath("plain")), QByteArray("keep"));
    QCOMPARE(entries(dir.path()), QStringList{"plain"});
}

void TestBindingsFile::saveFailsAtFileSizeLimit_data()
{
    QTest::addColumn<qsizetype>("contentSize");
    QTest::addColumn<rlim_t>("limit");
    // Below the 16 KiB that a buffered writer holds back until it commits.
    QTest::newRow("small content") << qsizetype(2000) << rlim_t(64);
    QTest::newRow("small content, nothing fits") << qsizetype(2000) << rlim_t(0);
    QTest::newRow("large content") << qsizetype(300 * 1024) << rlim_t(100 * 1024);
}

void TestBindingsFile::saveFailsAtFileSizeLimit()
{
    QFETCH(qsizetype, contentSize);
    QFETCH(rlim_t, limit);
    QTemporaryDir dir;
    const BindingsFile file(dir.filePath("yygj"));
    const QByteArray old = QByteArray("\"/old.mp3\",\"old\"\r\n").repeated(15);
    QVERIFY(writeBytes(file.path(), old));
    const std::vector<TrackBinding> rows = rowsOfSize(contentSize);
    QVERIFY(BindingsFile::format(rows).size() > qsizetype(limit));

    QString reason;
    {
        const FileSizeLimit full(limit);
        QVERIFY(full.isActive());
        const Result<void> written = file.save(rows);
        QVERIFY(!written.ok());
        reason = written.error();
    }
    QCOMPARE(reason, systemErrorText(EFBIG));
    QCOMPARE(readBytes(file.path()), old);
    QCOMPARE(entries(dir.path()), QStringList{"yygj"});
}

void TestBindingsFile::savedFileMode_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("oldMode");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("expected");
    QTest::newRow("old file 0640") << true << 0640 << 022 << 0640;
    QTest::newRow("old file 0604, strict umask") << true << 0604 << 077 << 0604;
    QTest::newRow("new file, umask 022") << false << 0 << 022 << 0644;
    QTest::newRow("new file, umask 077") << false << 0 << 077 << 0600;
}

void TestBindingsFile::savedFileMode()
{
    QFETCH(bool, exists);
    QFETCH(int, oldMode);
    QFETCH(int, mask);
    QFETCH(int, expected);
    QTemporaryDir dir;
    const BindingsFile file(dir.filePath("yygj"));
    const QByteArray name = QFile::encodeName(file.path());
    if (exists) {
        QVERIFY(writeBytes(file.path(), "\"old\",\"o\"\r\n"));
        QCOMPARE(::chmod(name.constData(), mode_t(oldMode)), 0);
    }
    const mode_t previousMask = ::umask(mode_t(mask));
    const Result<void> written = file.save(fifteen({{"new", "n"}}));
    ::umask(previousMask);
    QVERIFY2(written.ok(), qPrintable(written.error()));
    struct stat info = {};
    QCOMPARE(::stat(name.constData(), &info), 0);
    QCOMPARE(int(info.st_mode & 07777), expected);
}

void TestBindingsFile::saveWritesThroughLink()
{
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("real"));
    QVERIFY(writeBytes(dir.filePath("real/bindings"), "\"old\",\"o\"\r\n"));
    QVERIFY(QFile::link("real/bindings", dir.filePath("yygj")));
    const std::vector<TrackBinding> rows = fifteen({{"new", "n"}});
    QVERIFY(BindingsFile(dir.filePath("yygj")).save(rows).ok());
    QVERIFY(QFileInfo(dir.filePath("yygj")).isSymLink());
    QCOMPARE(readBytes(dir.filePath("real/bindings")), BindingsFile::format(rows));
    QCOMPARE(entries(dir.filePath("real")), QStringList{"bindings"});
}

// Only a dead save's hidden ".yygj.plovi-save-XXXXXX" goes: not a file of any
// other name, not a running save's fresh or locked one.
void TestBindingsFile::saveRemovesOnlyStaleTempFiles()
{
    QTemporaryDir dir;
    const QStringList kept{"yygj.backup",
                           "yygj.241208",
                           "yygj.ORIGIN",
                           "yygj.AbC123",
                           ".yygj.plovi-save-AbC12",
                           ".yygj.plovi-save-Fresh1",
                           ".yygj.plovi-save-Locked"};
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &name : kept + QStringList{".yygj.plovi-save-Stale1"}) {
        QVERIFY(writeBytes(dir.filePath(name), name.toUtf8()));
        QVERIFY(name.endsWith("Fresh1") || setModified(dir.filePath(name), hourAgo));
    }
    const int held = ::open(QFile::encodeName(dir.filePath(kept.back())).constData(), O_RDONLY);
    QCOMPARE(::flock(held, LOCK_EX), 0); // as a running save holds its own
    QVERIFY(BindingsFile(dir.filePath("yygj")).save(fifteen({})).ok());
    ::close(held);
    QStringList expected = kept + QStringList{"yygj"};
    expected.sort();
    QCOMPARE(entries(dir.path()), expected);
}

// Two players saving at once, 50 rounds each: no save fails and the file is
// always one whole version.
void TestBindingsFile::twoProcessesSaveAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QByteArray mine = BindingsFile::format(fifteen({{"/mine.mp3", "mine"}}));
    const QByteArray theirs = BindingsFile::format(fifteen({{"/theirs.mp3", "theirs"}}));
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    int wrong = 0; // failed saves and torn files
    for (int round = 0; round < 50; ++round) {
        wrong +=
            BindingsFile(path).save(BindingsFile::parse(child == 0 ? theirs : mine)).ok() ? 0 : 1;
        const QByteArray now = readBytes(path);
        wrong += now == mine || now == theirs ? 0 : 1;
    }
    if (child == 0) {
        ::_exit(wrong);
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QCOMPARE(wrong, 0);
}

// Files of the kinds of lines found in the wild, the last perhaps with its
// quote never closed, some rows edited in a dialog that shows 20 characters
// of a name: each row reads back as shown (untouched ones whole), untouched
// lines keep their bytes, so do lines past the fifteenth, nothing is reported
// shortened, and only rows no line can carry are refused.
void TestBindingsFile::planKeepsWhatWasNotEdited()
{
    const std::pair<QByteArray, TrackBinding> kinds[] = {
        {"\"/m/a.mp3\",\"n\"\r\n", {"/m/a.mp3", "n"}},
        {"/m/a\"b.mp3,q\"c\n", {"/m/a\"b.mp3", "q\"c"}},
        {"\"/lone.mp3\"\r\n", {"/lone.mp3", ""}},
        {"\"/\xFF\",\"n\x80\"\r\n", {QStringLiteral("/\uFFFD"), QStringLiteral("n\uFFFD")}},
        {"\"/\xD2\xF4\",\"\xC4\xE3\"\n", {QStringLiteral("/音"), QStringLiteral("你")}},
        {"\"/long\",\"" + QByteArray(25, 'L') + "\"\r\n", {"/long", QString(25, u'L')}},
        {"  \"/t\",  \"t\"junk,more\r\n", {"/t", "t"}},
        {" \r\n", {"<blank>", ""}},
    };
    // Rows typed in, and whether a line can carry them.
    const std::pair<TrackBinding, bool> edits[] = {
        {{"/e\"d.mp3", "e"}, true},
        {{"\"/e", "e"}, false},
        {{"/e\"d,it", "e"}, false},
        {{QStringLiteral("/编辑.mp3"), QStringLiteral(" 名 ")}, true},
        {{"", ""}, true}};
    QRandomGenerator random(20261208);
    for (int round = 0; round < 300; ++round) {
        QByteArray old = random.bounded(4) == 0 ? QByteArray("\xEF\xBB\xBF") : QByteArray();
        std::vector<TrackBinding> known;
        for (int i = random.bounded(19); i > 0; --i) {
            const auto &[bytes, record] = kinds[random.bounded(int(std::size(kinds)))];
            old += bytes;
            if (record.FullPath != "<blank>") {
                known.push_back(record);
            }
        }
        if (random.bounded(3) == 0) {
            while (old.endsWith('\n') || old.endsWith('\r')) {
                old.chop(1);
            }
        } else if (random.bounded(3) == 0) {
            // A last line whose quote is never closed: its field runs to the end.
            const bool inName = random.bounded(2) == 0;
            old += inName ? "\"/open\",\"" + QByteArray(25, 'L') + "\nx" : QByteArray("\"/op\nen");
            known.push_back(inName ? TrackBinding{"/open", QString(25, u'L') + "\nx"}
                                   : TrackBinding{"/op\nen", ""});
        }
        known.resize(std::min(known.size(), size_t(kTrackSlots)));
        std::vector<TrackBinding> expected = known;
        expected.resize(kTrackSlots);
        std::vector<TrackBinding> rows = expected;
        for (TrackBinding &row : rows) {
            row.ShortName = row.ShortName.left(20);
        }
        std::vector<bool> edited(kTrackSlots, false);
        std::vector<int16_t> refused;
        for (int e = random.bounded(3); e > 0; --e) {
            const int16_t k = static_cast<int16_t>(random.bounded(int(kTrackSlots)));
            const auto &[row, writable] = edits[random.bounded(int(std::size(edits)))];
            if (!edited[k] && row != rows[k]) {
                rows[k] = expected[k] = row;
                edited[k] = true;
                refused.insert(std::upper_bound(refused.begin(), refused.end(), k),
                               writable ? 0 : 1, k);
            }
        }
        const BindingsFile::Plan plan = BindingsFile::plan(old, rows, 20);
        QCOMPARE(plan.unwritable, refused);
        QVERIFY(plan.shortened.empty()); // no edit keeps an old path
        if (!refused.empty()) {
            continue;
        }
        QCOMPARE(BindingsFile::parse(plan.bytes), expected);
        const std::vector<BindingsFile::Line> before = BindingsFile::lines(old);
        const std::vector<BindingsFile::Line> after = BindingsFile::lines(plan.bytes);
        for (size_t k = 0; k < before.size(); ++k) {
            const QByteArray was = old.mid(before[k].begin, before[k].end - before[k].begin);
            const QByteArray now = plan.bytes.mid(after[k].begin, after[k].end - after[k].begin);
            QVERIFY(edited[k] || now == was || now == was + "\r\n" ||
                    (before[k].openQuote && now == was + "\"\r\n"));
        }
        if (before.size() == size_t(kTrackSlots)) {
            QCOMPARE(plan.bytes.mid(after.back().end), old.mid(before.back().end));
        }
        QCOMPARE(plan.bytes.startsWith("\xEF\xBB\xBF"), old.startsWith("\xEF\xBB\xBF"));
    }
}

void TestBindingsFile::refusesNonRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to /dev/zero") << "zero";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "fifo link";
    QTest::newRow("directory") << "directory";
    QTest::newRow("link loop") << "loop";
    QTest::newRow("link into a missing folder") << "dangling";
}

void TestBindingsFile::refusesNonRegularFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QString fifo = kind == "fifo" ? path : dir.filePath("pipe");
    if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
    } else if (kind == "loop") {
        QVERIFY(QFile::link("yygj", path));
    } else if (kind == "dangling") {
        QVERIFY(QFile::link("missing/yygj", path));
    } else if (kind == "directory") {
        QVERIFY(QDir(dir.path()).mkdir("yygj"));
    } else {
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        if (kind == "fifo link") {
            QVERIFY(QFile::link(fifo, path));
        }
    }
    const FifoUnblocker unblocker(fifo);
    QElapsedTimer timer;
    timer.start();
    const auto read = BindingsFile(path).read();
    QVERIFY(kind == "dangling" || (!read.ok() && !read.error().isEmpty()));
    // A save is refused too, and leaves the target as it was. Never tried on
    // a device: a faulty save would replace it.
    struct stat was = {};
    struct stat now = {};
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &was), 0);
    const QStringList before = entries(dir.path());
    if (kind != "zero") {
        const std::vector<TrackBinding> rows = fifteen({{"new", "n"}});
        QVERIFY(!BindingsFile(path).save(rows).ok());
    }
    QVERIFY2(timer.elapsed() < 1000, "waited on the file");
    QCOMPARE(::lstat(QFile::encodeName(path).constData(), &now), 0);
    QVERIFY(now.st_mode == was.st_mode && now.st_ino == was.st_ino);
    QCOMPARE(entries(dir.path()), before);
}

void TestBindingsFile::readStopsAtOneMebibyte_data()
{
    const qsizetype mebibyte = 1 << 20;
    const QByteArray last("\"b\",\"2\"");
    QTest::addColumn<qsizetype>("lastRecordAt");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("last record ends at the limit")
        << mebibyte - last.size() << QStringList{"a", "1", "b", "2"};
    QTest::newRow("last record starts just before the limit")
        << mebibyte - 1 << QStringList{"a", "1", "", ""};
    QTest::newRow("last record starts at the limit") << mebibyte << QStringList{"a", "1"};
    QTest::newRow("last record far beyond") << 2 * mebibyte - 100 << QStringList{"a", "1"};
}

void TestBindingsFile::readStopsAtOneMebibyte()
{
    QFETCH(qsizetype, lastRecordAt);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    const BindingsFile file(dir.filePath("yygj"));
    QByteArray bytes("\"a\",\"1\"\r\n");
    bytes += QByteArray(lastRecordAt - bytes.size(), '\n');
    bytes += "\"b\",\"2\"\r\n";
    bytes += QByteArray(2 * 1024 * 1024 - bytes.size(), ' ');
    QVERIFY(writeBytes(file.path(), bytes));
    QElapsedTimer timer;
    timer.start();
    const auto read = file.read();
    QVERIFY2(timer.elapsed() < 1000, "the read took too long");
    QVERIFY2(read.ok(), qPrintable(read.error()));
    QCOMPARE(flatten(read.value()), expected);
}

QTEST_GUILESS_MAIN(TestBindingsFile)
#include "tst_BindingsFile.moc"
