#include "BindingsFile.h"

#include "AppPaths.h"
#include "CodePage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FieldReader
{
  public:
    explicit FieldReader(const QString &text) : m_text(text) {}

    [[nodiscard]] bool atEnd() const { return m_pos >= m_text.size(); }

    // Skips lines that hold nothing but spaces and tabs; stops at the first
    // character of a line with content.
    void skipBlankLines()
    {
        qsizetype probe = m_pos;
        while (probe < m_text.size()) {
            const QChar c = m_text.at(probe);
            if (isBlank(c)) {
                ++probe;
            } else if (isLineEnd(c)) {
                ++probe;
                m_pos = probe;
            } else {
                return;
            }
        }
        m_pos = probe;
    }

    [[nodiscard]] QString readField()
    {
        while (!atEnd() && isBlank(m_text.at(m_pos))) {
            ++m_pos;
        }
        QString value;
        if (!atEnd() && m_text.at(m_pos) == QLatin1Char('"')) {
            const qsizetype start = m_pos + 1;
            qsizetype close = m_text.indexOf(QLatin1Char('"'), start);
            if (close < 0) {
                close = m_text.size();
            }
            value = m_text.mid(start, close - start);
            m_pos = close < m_text.size() ? close + 1 : close;
        } else {
            const qsizetype start = m_pos;
            while (!atEnd() && !isFieldEnd(m_text.at(m_pos))) {
                ++m_pos;
            }
            value = m_text.mid(start, m_pos - start);
        }
        consumeSeparator();
        return value;
    }

  private:
    static bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
    static bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }
    static bool isFieldEnd(QChar c) { return c == QLatin1Char(',') || isLineEnd(c); }

    // Everything up to and including the next comma or line end (CR, LF or
    // CR LF as one).
    void consumeSeparator()
    {
        while (!atEnd() && !isFieldEnd(m_text.at(m_pos))) {
            ++m_pos;
        }
        if (atEnd()) {
            return;
        }
        const QChar c = m_text.at(m_pos++);
        if (c == QLatin1Char('\r') && !atEnd() && m_text.at(m_pos) == QLatin1Char('\n')) {
            ++m_pos;
        }
    }

    const QString &m_text;
    qsizetype m_pos = 0;
};

// Text of a failed system call.
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Appends what the file yields until its end or until limit bytes are in. The
// buffer grows as bytes come, so a small file costs little.
bool readUpTo(int fd, qsizetype limit, QByteArray &bytes)
{
    constexpr qsizetype kChunk = 64 * 1024;
    while (bytes.size() < limit) {
        const qsizetype filled = bytes.size();
        bytes.resize(std::min(limit, filled + kChunk));
        const ssize_t n =
            ::read(fd, bytes.data() + filled, static_cast<size_t>(bytes.size() - filled));
        bytes.truncate(filled + std::max<ssize_t>(n, 0));
        if (n < 0 && errno != EINTR) {
            return false;
        }
        if (n == 0) {
            break;
        }
    }
    return true;
}

// The file a save replaces: for a link, its final target, so that the link
// stays a link; a dangling link's own target is created.
QString replacedFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isSymLink()) {
        return path;
    }
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? info.symLinkTarget() : canonical;
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

// A save writes "<name>.XXXXXX" beside the file, X from mkstemp's alphabet.
constexpr char kTempAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr qsizetype kTempSuffixLength = 6;

bool isTempNameOf(const char *entry, const QByteArray &name)
{
    const QByteArray candidate(entry);
    if (candidate.size() != name.size() + 1 + kTempSuffixLength ||
        !candidate.startsWith(name + '.')) {
        return false;
    }
    for (qsizetype i = name.size() + 1; i < candidate.size(); ++i) {
        if (std::memchr(kTempAlphabet, candidate.at(i), sizeof kTempAlphabet - 1) == nullptr) {
            return false;
        }
    }
    return true;
}

// Temporary files a save killed before its rename left behind: only regular
// files named as ours. Best effort: what cannot be removed stays.
void removeStaleTempFiles(const QByteArray &target)
{
    const QByteArray name = target.mid(target.lastIndexOf('/') + 1);
    DIR *folder = ::opendir(folderOf(target).constData());
    if (folder == nullptr) {
        return;
    }
    const int folderFd = ::dirfd(folder);
    while (const dirent *entry = ::readdir(folder)) {
        struct stat info = {};
        if (isTempNameOf(entry->d_name, name) &&
            ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode)) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
    }
    ::closedir(folder);
}

// A new file "<target>.XXXXXX", mode 0666 less the umask, open for writing.
int createTempFile(const QByteArray &target, QByteArray &temp)
{
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temp = target + '.';
        for (qsizetype i = 0; i < kTempSuffixLength; ++i) {
            temp += kTempAlphabet[QRandomGenerator::global()->bounded(
                static_cast<int>(sizeof kTempAlphabet - 1))];
        }
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// An existing regular file keeps its permissions across a save. Reads only
// the target's metadata: opening a FIFO would block.
bool copyMode(const QByteArray &target, int fd)
{
    struct stat info = {};
    if (::stat(target.constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return true;
    }
    return ::fchmod(fd, info.st_mode & 0777) == 0;
}

bool writeAll(int fd, const QByteArray &bytes)
{
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        left -= n;
    }
    return true;
}

bool syncFile(int fd)
{
    int rc = 0;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0;
}

// Whether the file holds exactly size bytes, as a last check before it
// replaces the old one.
bool hasSize(int fd, qsizetype size)
{
    struct stat info = {};
    if (::fstat(fd, &info) != 0) {
        return false;
    }
    if (info.st_size != size) {
        errno = EIO;
        return false;
    }
    return true;
}

// Makes the rename durable. Best effort: the new file is in place already,
// and some file systems cannot sync a folder.
void syncFolder(const QByteArray &target)
{
    const int fd = ::open(folderOf(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        syncFile(fd);
        ::close(fd);
    }
}

} // namespace

BindingsFile::BindingsFile(QString path) : m_path(std::move(path)) {}

QString BindingsFile::defaultPath()
{
    return QDir(programDir()).filePath(QStringLiteral("yygj"));
}

BindingsFile::ReadResult BindingsFile::read() const
{
    ReadResult result;
    const QByteArray name = QFile::encodeName(m_path);
    // Non-blocking, so that a FIFO is refused below instead of waited on;
    // regular files ignore the flag.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        struct stat info = {};
        if (::stat(name.constData(), &info) == 0) {
            result.error = systemReason(error);
        }
        return result;
    }
    struct stat info = {};
    QByteArray bytes;
    if (::fstat(fd, &info) != 0) {
        result.error = systemReason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        result.error = QStringLiteral("不是普通文件");
    } else if (!readUpTo(fd, kReadLimit, bytes)) {
        result.error = systemReason(errno);
    }
    ::close(fd);
    if (result.error.isEmpty()) {
        result.records = parse(bytes);
    }
    return result;
}

QString BindingsFile::save(const std::vector<TrackBinding> &records) const
{
    const QByteArray target = QFile::encodeName(replacedFile(m_path));
    const QByteArray bytes = format(records);
    removeStaleTempFiles(target);

    QByteArray temp;
    const int fd = createTempFile(target, temp);
    if (fd < 0) {
        return systemReason(errno);
    }
    int error = 0;
    if (!copyMode(target, fd) || !writeAll(fd, bytes) || !syncFile(fd) ||
        !hasSize(fd, bytes.size())) {
        error = errno;
        ::close(fd);
    } else if (::close(fd) != 0 || ::rename(temp.constData(), target.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.constData());
        return systemReason(error);
    }
    syncFolder(target);
    return {};
}

std::vector<TrackBinding> BindingsFile::parse(const QByteArray &bytes)
{
    const QString text = codepage::fromGb18030(bytes);
    FieldReader reader(text);
    std::vector<TrackBinding> records;
    while (records.size() < static_cast<size_t>(kTrackSlots)) {
        reader.skipBlankLines();
        if (reader.atEnd()) {
            break;
        }
        TrackBinding record;
        record.FullPath = reader.readField();
        if (!reader.atEnd()) {
            record.ShortName = reader.readField();
        }
        records.push_back(std::move(record));
    }
    return records;
}

QByteArray BindingsFile::format(const std::vector<TrackBinding> &records)
{
    QString text;
    for (const TrackBinding &record : records) {
        text += QLatin1Char('"') + record.FullPath + QStringLiteral("\",\"") + record.ShortName +
                QStringLiteral("\"\r\n");
    }
    return codepage::toGb18030(text);
}
