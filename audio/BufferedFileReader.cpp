#include "BufferedFileReader.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace audio {

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

BufferedFileReader::BufferedFileReader(int fd) : m_fd(fd) {}

BufferedFileReader::~BufferedFileReader()
{
    ::close(m_fd);
}

Result<std::unique_ptr<BufferedFileReader>> BufferedFileReader::open(const QString &path)
{
    if (path.isEmpty())
        return Failure{QStringLiteral("empty file name")};
    // A blocking open of a FIFO waits for a writer; O_NONBLOCK returns at once
    // and the type is checked before anything is read.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return Failure{systemError("cannot open")};
    std::unique_ptr<BufferedFileReader> reader(new BufferedFileReader(fd));
    struct stat info = {};
    if (::fstat(fd, &info) != 0)
        return Failure{systemError("cannot inspect")};
    if (!S_ISREG(info.st_mode))
        return Failure{QStringLiteral("not a regular file")};
    if (info.st_size <= 0)
        return Failure{QStringLiteral("empty file")};
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return Failure{systemError("cannot set up reading")};
    (void)::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    reader->m_size = info.st_size;
    reader->setBlockSize(DefaultBlockSize);
    return reader;
}

void BufferedFileReader::setBlockSize(std::size_t bytes)
{
    // No larger than the file: a short chime needs no megabyte.
    const auto fileBytes = static_cast<std::size_t>(std::max<int64_t>(m_size, 1));
    m_capacity = std::max<std::size_t>(std::min(bytes, fileBytes), 1);
    m_refill = std::min(m_capacity, FirstRefill);
    m_buffer.reset();
    m_bufferStart = 0;
    m_bufferLength = 0;
}

// Stops short only at the file's current end or on an error.
int64_t BufferedFileReader::readFully(int64_t offset, uint8_t *out, std::size_t count) const
{
    std::size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(m_fd, out + done, count - done, offset + int64_t(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return done > 0 ? int64_t(done) : -1;
        if (got == 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    return int64_t(done);
}

int64_t BufferedFileReader::read(int64_t offset, void *out, std::size_t count)
{
    if (offset >= m_size)
        return 0;
    count = static_cast<std::size_t>(std::min<int64_t>(int64_t(count), m_size - offset));
    auto *target = static_cast<uint8_t *>(out);
    std::size_t copied = 0;
    while (copied < count) {
        const int64_t at = offset + int64_t(copied);
        const int64_t bufferEnd = m_bufferStart + int64_t(m_bufferLength);
        if (at >= m_bufferStart && at < bufferEnd) {
            const auto n = std::min(count - copied, static_cast<std::size_t>(bufferEnd - at));
            std::memcpy(target + copied, m_buffer.get() + (at - m_bufferStart), n);
            copied += n;
            continue;
        }
        const std::size_t wanted = count - copied;
        if (wanted >= m_capacity) {
            // As large as a refill: straight into the caller's memory.
            const int64_t got = readFully(at, target + copied, wanted);
            if (got < 0)
                return copied > 0 ? int64_t(copied) : -1;
            return int64_t(copied) + got;
        }
        const bool onward =
            m_bufferLength > 0 && at >= bufferEnd && at - bufferEnd < int64_t(m_refill);
        m_refill = onward ? std::min(m_capacity, 2 * m_refill) : std::min(m_capacity, FirstRefill);
        m_bufferLength = 0;
        // Allocated on the first refill: a file read whole needs none. Its
        // pages are touched only as refills grow.
        if (m_buffer == nullptr)
            m_buffer = std::make_unique_for_overwrite<uint8_t[]>(m_capacity);
        const auto refill =
            static_cast<std::size_t>(std::min<int64_t>(int64_t(m_refill), m_size - at));
        const int64_t got = readFully(at, m_buffer.get(), refill);
        if (got < 0)
            return copied > 0 ? int64_t(copied) : -1;
        if (got == 0)
            break;
        m_bufferStart = at;
        m_bufferLength = static_cast<std::size_t>(got);
    }
    return int64_t(copied);
}

int64_t BufferedFileReader::contentEnd()
{
    if (m_contentEnd >= 0)
        return m_contentEnd;
    m_contentEnd = m_size;
    std::vector<uint8_t> block(std::size_t(64) << 10);
    const auto zeros = [&block](int64_t bytes) {
        return std::all_of(block.begin(), block.begin() + bytes, [](uint8_t b) { return b == 0; });
    };
    const auto blockBytes = static_cast<int64_t>(block.size());
    if (m_size < ZeroTailBytes ||
        readFully(m_size - blockBytes, block.data(), block.size()) != blockBytes ||
        !zeros(blockBytes))
        return m_contentEnd;
    // The last hole that runs to the end, if the file system reports holes.
    int64_t end = m_size;
    for (int64_t data = 0; data >= 0 && data < m_size;) {
        const int64_t hole = ::lseek(m_fd, data, SEEK_HOLE);
        if (hole < 0 || hole >= m_size)
            break;
        data = ::lseek(m_fd, hole, SEEK_DATA);
        if (data < 0)
            end = hole;
    }
    // Then zeros written as such, read back block by block.
    const int64_t scanFloor = std::max<int64_t>(end - ZeroTailScanBytes, 0);
    while (end > scanFloor) {
        const int64_t bytes = std::min(blockBytes, end - scanFloor);
        if (readFully(end - bytes, block.data(), std::size_t(bytes)) != bytes)
            return m_contentEnd;
        const auto last = std::find_if(std::make_reverse_iterator(block.begin() + bytes),
                                       block.rend(), [](uint8_t b) { return b != 0; });
        if (last != block.rend()) {
            end -= bytes - (block.rend() - last);
            break;
        }
        end -= bytes;
    }
    if (m_size - end >= ZeroTailBytes)
        m_contentEnd = end;
    return m_contentEnd;
}

Result<std::vector<uint8_t>> BufferedFileReader::readAll()
{
    std::vector<uint8_t> bytes(static_cast<std::size_t>(m_size));
    const int64_t got = readFully(0, bytes.data(), bytes.size());
    if (got < 0)
        return Failure{systemError("cannot read")};
    bytes.resize(static_cast<std::size_t>(got));
    return bytes;
}

int64_t BufferedFileReader::seekTarget(int64_t position, int64_t offset, int whence) const
{
    int64_t base = 0;
    if (whence == SEEK_CUR)
        base = position;
    else if (whence == SEEK_END)
        base = m_size;
    else if (whence != SEEK_SET)
        return -1;
    if ((offset > 0 && base > m_size - offset) || base + offset < 0)
        return -1;
    return base + offset;
}

} // namespace audio
