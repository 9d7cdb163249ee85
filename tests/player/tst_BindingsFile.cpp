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

#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    void saveRefusesSpecialTargets_data();
    void saveRefusesSpecialTargets();
    void twoProcessesSaveAtOnce();
    void readRefusesNonRegularFile_data();
    void readRefusesNonRegularFile();
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
    QTest::newRow("UTF-8 byte-order mark skipped")
        << QByteArray("\xEF\xBB\xBF\"/a.mp3\",\"1\"\r\n") << QStringList{"/a.mp3", "1"};
    QTest::newRow("GB18030 byte-order mark skipped")
        << QByteArray("\x84\x31\x95\x33\"/a.mp3\",\"1\"\r\n") << QStringList{"/a.mp3", "1"};
    QTest::newRow("byte-order mark elsewhere is text")
        << QByteArray("\"a\",\"\xEF\xBB\xBF\"\r\n")
        << QStringList{"a", QStringLiteral("\u9518\uFFFD")}; // as Python's gb18030 codec reads it
    QTest::newRow("a lone path takes no name from the next line")
        << QByteArray("\"/lone.mp3\"\r\n\"/b.mp3\",\"b\"\r\n")
        << QStringList{"/lone.mp3", "", "/b.mp3", "b"};
    QTest::newRow("quote inside an unquoted field")
        << QByteArray("/music/a\"b.mp3,qname\r\n") << QStringList{"/music/a\"b.mp3", "qname"};
    QTest::newRow("fields after the name ignored")
        << QByteArray("\"a\",\"1\",\"b\",\"2\"\r\n\"c\",\"3\"\r\n")
        << QStringList{"a", "1", "c", "3"};
    QTest::newRow("invalid byte before a quote")
        << QByteArray("\"\x81\",\"n\"\r\n") << QStringList{QStringLiteral("\uFFFD"), "n"};
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

// Only hidden ".yygj.plovi-save-XXXXXX" files of a dead save go: not the
// user's own files of any other name, not a running save's fresh or locked one.
void TestBindingsFile::saveRemovesOnlyStaleTempFiles()
{
    QTemporaryDir dir;
    const QByteArray complete = BindingsFile::format(fifteen({{"stale", "s"}}));
    const QStringList users{"yygj.backup",
                            "yygj.241208",
                            "yygj.ORIGIN",
                            "yygj.old001",
                            "yygj.AbC123",
                            ".yygj.AbC123",
                            "yygj.plovi-save-AbC123",
                            ".yygj.plovi-save-AbC12",
                            ".yygj.plovi-save-AbC1234",
                            ".yygk.plovi-save-AbC123"};
    const QStringList fresh{".yygj.plovi-save-Fresh1"};
    const QStringList locked{".yygj.plovi-save-Locked"};
    const QStringList stale{".yygj.plovi-save-Stale1", ".yygj.plovi-save-zZ0009"};
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &name : users + fresh + locked + stale) {
        QVERIFY(writeBytes(dir.filePath(name), complete));
        if (!fresh.contains(name)) {
            QVERIFY(setModified(dir.filePath(name), hourAgo));
        }
    }
    QVERIFY(QDir(dir.path()).mkdir(".yygj.plovi-save-Dir123"));
    QVERIFY(QFile::link("yygj.backup", dir.filePath(".yygj.plovi-save-Lnk123")));
    // As a save in another process holds its own file.
    const int held = ::open(QFile::encodeName(dir.filePath(locked.front())).constData(), O_RDONLY);
    QVERIFY(held >= 0);
    QCOMPARE(::flock(held, LOCK_EX), 0);

    for (int round = 0; round < 3; ++round) {
        QVERIFY(BindingsFile(dir.filePath("yygj")).save(fifteen({})).ok());
    }
    ::close(held);
    QStringList expected =
        users + fresh + locked +
        QStringList{"yygj", ".yygj.plovi-save-Dir123", ".yygj.plovi-save-Lnk123"};
    expected.sort();
    QCOMPARE(entries(dir.path()), expected);
    for (const QString &name : users) {
        QCOMPARE(readBytes(dir.filePath(name)), complete);
    }
}

void TestBindingsFile::saveRefusesSpecialTargets_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "fifo link";
    QTest::newRow("link to /dev/null") << "null link";
    QTest::newRow("link loop") << "loop";
    QTest::newRow("socket") << "socket";
    QTest::newRow("link to a folder") << "folder link";
    QTest::newRow("dangling link into a missing folder") << "dangling";
}

// The target stays as it was: its type, mode, inode and link text, and no
// file is left beside it.
void TestBindingsFile::saveRefusesSpecialTargets()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QByteArray name = QFile::encodeName(path);
    int socketFd = -1;
    if (kind == "fifo") {
        QCOMPARE(::mkfifo(name.constData(), 0640), 0);
    } else if (kind == "fifo link") {
        QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath("pipe")).constData(), 0640), 0);
        QVERIFY(QFile::link("pipe", path));
    } else if (kind == "null link") {
        QVERIFY(QFile::link("/dev/null", path));
    } else if (kind == "loop") {
        QVERIFY(QFile::link("yygj", path));
    } else if (kind == "socket") {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(name.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
        QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == "folder link") {
        QVERIFY(QDir(dir.path()).mkdir("folder"));
        QVERIFY(QFile::link("folder", path));
    } else {
        QVERIFY(QFile::link("missing/yygj", path));
    }
    const QStringList before = entries(dir.path());
    struct stat was = {};
    QCOMPARE(::lstat(name.constData(), &was), 0);
    const QString linkText = QFileInfo(path).symLinkTarget();
    struct stat null = {};
    QCOMPARE(::stat("/dev/null", &null), 0);

    QElapsedTimer timer;
    timer.start();
    const Result<void> saved = BindingsFile(path).save(fifteen({{"new", "n"}}));
    QVERIFY2(timer.elapsed() < 1000, "the save waited on the target");
    if (socketFd >= 0) {
        ::close(socketFd);
    }
    QVERIFY(!saved.ok());
    QVERIFY(!saved.error().isEmpty());
    struct stat now = {};
    QCOMPARE(::lstat(name.constData(), &now), 0);
    QCOMPARE(now.st_mode, was.st_mode);
    QCOMPARE(now.st_ino, was.st_ino);
    QCOMPARE(QFileInfo(path).symLinkTarget(), linkText);
    QCOMPARE(entries(dir.path()), before);
    QVERIFY(entries(dir.filePath("folder")).isEmpty());
    struct stat nullNow = {};
    QCOMPARE(::stat("/dev/null", &nullNow), 0);
    QCOMPARE(nullNow.st_ino, null.st_ino);
    QVERIFY(S_ISCHR(nullNow.st_mode));
}

// Two players saving at once, each its own version, 50 rounds: no save fails
// and the file is always one whole version.
void TestBindingsFile::twoProcessesSaveAtOnce()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const std::vector<TrackBinding> mine = fifteen({{"/mine.mp3", "mine"}});
    const std::vector<TrackBinding> theirs = fifteen({{"/theirs.mp3", "theirs"}});
    constexpr int kRounds = 50;
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        int failed = 0;
        for (int round = 0; round < kRounds; ++round) {
            failed += BindingsFile(path).save(theirs).ok() ? 0 : 1;
        }
        ::_exit(failed);
    }
    int failed = 0;
    int torn = 0;
    for (int round = 0; round < kRounds; ++round) {
        failed += BindingsFile(path).save(mine).ok() ? 0 : 1;
        const QByteArray now = readBytes(path);
        torn += now == BindingsFile::format(mine) || now == BindingsFile::format(theirs) ? 0 : 1;
    }
    int status = 0;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(failed, 0);
    QCOMPARE(torn, 0);
    QCOMPARE(entries(dir.path()), QStringList{"yygj"});
}

void TestBindingsFile::readRefusesNonRegularFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("link to /dev/zero") << "zero";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to a FIFO") << "fifo link";
    QTest::newRow("directory") << "directory";
}

void TestBindingsFile::readRefusesNonRegularFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath("yygj");
    const QString fifo = kind == "fifo" ? path : dir.filePath("pipe");
    if (kind == "zero") {
        QVERIFY(QFile::link("/dev/zero", path));
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
    QVERIFY2(timer.elapsed() < 1000, "the read waited on the file");
    QVERIFY(!read.ok());
    QVERIFY(!read.error().isEmpty());
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
