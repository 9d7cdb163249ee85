#include "FileAccess.h"

#include "SystemErrorText.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileaccess {

namespace {

// Text of a failed system call.
QString systemReason(int error)
{
    return systemErrorText(error);
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

Result<QByteArray> readRegularFile(const QString &path, qsizetype limit)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a FIFO is refused below instead of waited on;
    // regular files ignore the flag.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int error = errno;
        struct stat info = {};
        if (::stat(name.constData(), &info) != 0 && errno == ENOENT) {
            return QByteArray();
        }
        return Failure{systemReason(error)};
    }
    struct stat info = {};
    QByteArray bytes;
    std::optional<QString> error;
    if (::fstat(fd, &info) != 0) {
        error = systemReason(errno);
    } else if (!S_ISREG(info.st_mode)) {
        error = QStringLiteral("不是普通文件");
    } else if (!readUpTo(fd, limit, bytes)) {
        error = systemReason(errno);
    }
    ::close(fd);
    if (error) {
        return Failure{*error};
    }
    return bytes;
}

Result<void> replaceFile(const QString &path, const QByteArray &bytes)
{
    const QByteArray target = QFile::encodeName(replacedFile(path));
    removeStaleTempFiles(target);

    QByteArray temp;
    const int fd = createTempFile(target, temp);
    if (fd < 0) {
        return Failure{systemReason(errno)};
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
        return Failure{systemReason(error)};
    }
    syncFolder(target);
    return {};
}

} // namespace fileaccess
