#pragma once

#include "Result.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace audio {

// One regular file read by offset through a descriptor kept open, with a
// buffer in front so that many small reads cost few system calls.
//
// Only the bytes the file held when it was opened are read: nothing past
// size(). The file may shrink or be rewritten meanwhile; reads then return
// what it holds now (fewer bytes, or none), and never raise a signal.
class BufferedFileReader
{
  public:
    // One refill of the buffer while a file is read from start to end.
    static constexpr std::size_t DefaultBlockSize = std::size_t(1) << 20;

    // Opens without blocking, so that a FIFO or a device cannot hold the
    // caller up. Fails for an empty name, a missing file, anything that is not
    // a regular file once links are followed, an empty file and any I/O error.
    [[nodiscard]] static Result<std::unique_ptr<BufferedFileReader>> open(const QString &path);

    ~BufferedFileReader();
    BufferedFileReader(const BufferedFileReader &) = delete;
    BufferedFileReader &operator=(const BufferedFileReader &) = delete;

    // The size when opened.
    [[nodiscard]] int64_t size() const { return m_size; }

    // Where a seek from position leads, as lseek() counts it (whence is
    // SEEK_SET, SEEK_CUR or SEEK_END, the end being size()); -1 for another
    // whence or a place before the start or past the end.
    [[nodiscard]] int64_t seekTarget(int64_t position, int64_t offset, int whence) const;

    // Copies up to count bytes from offset on. Returns how many: fewer at
    // size() or at the file's current end, 0 past either, -1 on an I/O error
    // (a negative offset is one).
    [[nodiscard]] int64_t read(int64_t offset, void *out, std::size_t count);

    // Where the file's content ends before a trailing run of zeros (a download
    // preallocated, a recorder that died): size() unless the file ends with
    // at least ZeroTailBytes of zeros. Found from the holes a sparse file
    // reports and by reading back at most ZeroTailScanBytes, however long
    // the zeros run; computed once. Content that ends in that much literal
    // silence (uncompressed) loses it.
    [[nodiscard]] int64_t contentEnd();
    static constexpr int64_t ZeroTailBytes = int64_t(1) << 20;
    static constexpr int64_t ZeroTailScanBytes = int64_t(64) << 20;

    // The first size() bytes, or fewer when the file has shrunk; fails on an
    // I/O error. Goes past the buffer.
    [[nodiscard]] Result<std::vector<uint8_t>> readAll();

    // How many bytes one refill reads at most from now on; what the buffer
    // holds is dropped, so that the next read sees the file as it is. A
    // refill after a jump reads FirstRefill bytes (or the block size if
    // smaller); each refill that carries on from where the last one ended,
    // or from less than a refill further on, reads twice as many, up to the
    // block size. A look at a file's header or tail then reads and touches
    // little, and a reading through it takes few calls.
    void setBlockSize(std::size_t bytes);

    static constexpr std::size_t FirstRefill = std::size_t(64) << 10;

  private:
    explicit BufferedFileReader(int fd);

    [[nodiscard]] int64_t readFully(int64_t offset, uint8_t *out, std::size_t count) const;

    int m_fd = -1;
    int64_t m_size = 0;
    int64_t m_contentEnd = -1;
    std::unique_ptr<uint8_t[]> m_buffer;
    std::size_t m_capacity = 0;
    std::size_t m_refill = 0;
    int64_t m_bufferStart = 0;
    std::size_t m_bufferLength = 0;
};

} // namespace audio
