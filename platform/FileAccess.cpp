#include "FileAccess.h"

#include "SystemErrorText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileaccess {

namespace {

QString notRegularFile()
{
    return QStringLiteral("不是普通文件");
}

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

// What a save writes to: the path itself, or for a link its final target, so
// that the link stays a link. Only a regular file, or a name where nothing
// is yet, may be replaced: anything else fails with the reason, untouched.
Result<QByteArray> replacedFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::lstat(name.constData(), &info) != 0) {
        return errno == ENOENT ? Result<QByteArray>(name) : Failure{systemReason(errno)};
    }
    if (!S_ISLNK(info.st_mode)) {
        return S_ISREG(info.st_mode) ? Result<QByteArray>(name) : Failure{notRegularFile()};
    }
    if (::stat(name.constData(), &info) == 0) {
        if (!S_ISREG(info.st_mode)) {
            return Failure{notRegularFile()};
        }
        return QFile::encodeName(QFileInfo(path).canonicalFilePath());
    }
    if (errno != ENOENT) {
        return Failure{systemReason(errno)}; // a loop, a folder we may not search
    }
    // A dangling link: its target is created, which its folder must allow.
    const QFileInfo link(path);
    return QFile::encodeName(
        QDir::cleanPath(QDir(link.absolutePath()).absoluteFilePath(link.symLinkTarget())));
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0) {
        return QByteArrayLiteral(".");
    }
    return slash == 0 ? QByteArrayLiteral("/") : path.left(slash);
}

QByteArray baseNameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

// A save writes ".<name>.plovi-save-XXXXXX" beside the file, X from mkstemp's
// alphabet: hidden, and named so that no one takes it for a file of their own.
constexpr char kTempAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr qsizetype kTempSuffixLength = 6;
constexpr char kTempMark[] = ".plovi-save-";
// A temporary file untouched this long is a dead save's: a running one
// writes a few kilobytes and renames it within seconds.
constexpr time_t kStaleSeconds = 10 * 60;

QByteArray tempPrefix(const QByteArray &name)
{
    return '.' + name + kTempMark;
}

bool isTempNameOf(const char *entry, const QByteArray &name)
{
    const QByteArray candidate(entry);
    const QByteArray prefix = tempPrefix(name);
    if (candidate.size() != prefix.size() + kTempSuffixLength || !candidate.startsWith(prefix)) {
        return false;
    }
    for (qsizetype i = prefix.size(); i < candidate.size(); ++i) {
        if (std::memchr(kTempAlphabet, candidate.at(i), sizeof kTempAlphabet - 1) == nullptr) {
            return false;
        }
    }
    return true;
}

// Whether no save holds the file open: each holds a lock on its own from
// creation to rename. Opened without following links or blocking.
bool unlocked(int folderFd, const char *entry)
{
    const int fd =
        ::openat(folderFd, entry, O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return false;
    }
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

// Temporary files a save killed before its rename left behind: only regular
// files named as ours, untouched for kStaleSeconds and locked by no save.
// Best effort: what cannot be removed stays.
void removeStaleTempFiles(const QByteArray &target)
{
    const QByteArray name = baseNameOf(target);
    DIR *folder = ::opendir(folderOf(target).constData());
    if (folder == nullptr) {
        return;
    }
    const int folderFd = ::dirfd(folder);
    const time_t now = ::time(nullptr);
    while (const dirent *entry = ::readdir(folder)) {
        struct stat info = {};
        if (isTempNameOf(entry->d_name, name) &&
            ::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(info.st_mode) && now - info.st_mtime >= kStaleSeconds &&
            unlocked(folderFd, entry->d_name)) {
            ::unlinkat(folderFd, entry->d_name, 0);
        }
    }
    ::closedir(folder);
}

// A new file ".<name>.plovi-save-XXXXXX" beside target, mode 0666 less the
// umask, open for writing and locked.
int createTempFile(const QByteArray &target, QByteArray &temp)
{
    constexpr int kAttempts = 100;
    const QByteArray folder = folderOf(target);
    const QByteArray prefix =
        (folder == "/" ? folder : folder + '/') + tempPrefix(baseNameOf(target));
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        temp = prefix;
        for (qsizetype i = 0; i < kTempSuffixLength; ++i) {
            temp += kTempAlphabet[QRandomGenerator::global()->bounded(
                static_cast<int>(sizeof kTempAlphabet - 1))];
        }
        const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::flock(fd, LOCK_EX | LOCK_NB);
            return fd;
        }
        if (errno != EEXIST) {
            return -1;
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

// Whether what now stands at target may still be replaced: something other
// than a regular file may have taken its place while the new one was written.
bool stillReplaceable(const QByteArray &target)
{
    struct stat info = {};
    return ::lstat(target.constData(), &info) != 0 ? errno == ENOENT : S_ISREG(info.st_mode);
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
        error = notRegularFile();
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
    const Result<QByteArray> resolved = replacedFile(path);
    if (!resolved) {
        return Failure{resolved.error()};
    }
    const QByteArray &target = resolved.value();
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
    } else if (!stillReplaceable(target)) {
        ::close(fd);
        ::unlink(temp.constData());
        return Failure{notRegularFile()};
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
