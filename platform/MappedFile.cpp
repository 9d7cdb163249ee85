#include "MappedFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

std::shared_ptr<const MappedFile> MappedFile::open(const QString &path, QString *error)
{
    if (path.isEmpty()) {
        *error = QStringLiteral("empty file name");
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError("cannot open");
        return nullptr;
    }
    struct stat info
    {
    };
    if (::fstat(fd, &info) != 0) {
        *error = systemError("cannot inspect");
        ::close(fd);
        return nullptr;
    }
    if (!S_ISREG(info.st_mode)) {
        *error = QStringLiteral("not a regular file");
        ::close(fd);
        return nullptr;
    }
    if (info.st_size <= 0) {
        *error = QStringLiteral("empty file");
        ::close(fd);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void *mapping = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (mapping == MAP_FAILED) {
        *error = systemError("cannot map");
        return nullptr;
    }
    ::madvise(mapping, size, MADV_SEQUENTIAL);
    std::shared_ptr<MappedFile> file(new MappedFile);
    file->m_mapping = mapping;
    file->m_data = static_cast<const uint8_t *>(mapping);
    file->m_size = size;
    return file;
}

std::shared_ptr<const MappedFile> MappedFile::fromBytes(std::vector<uint8_t> bytes)
{
    std::shared_ptr<MappedFile> file(new MappedFile);
    file->m_owned = std::move(bytes);
    file->m_data = file->m_owned.data();
    file->m_size = file->m_owned.size();
    return file;
}

MappedFile::~MappedFile()
{
    if (m_mapping != nullptr)
        ::munmap(m_mapping, m_size);
}
