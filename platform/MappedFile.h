#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

// The whole content of one regular file, mapped read-only, or bytes handed
// over in memory. The bytes stay valid and unchanged for the object's life.
class MappedFile
{
  public:
    // Fails (null, *error set) for a missing file, a directory or other
    // non-regular file, an empty file and any I/O error.
    [[nodiscard]] static std::shared_ptr<const MappedFile> open(const QString &path,
                                                                QString *error);
    [[nodiscard]] static std::shared_ptr<const MappedFile> fromBytes(std::vector<uint8_t> bytes);

    ~MappedFile();
    MappedFile(const MappedFile &) = delete;
    MappedFile &operator=(const MappedFile &) = delete;

    [[nodiscard]] std::span<const uint8_t> bytes() const { return {m_data, m_size}; }

  private:
    MappedFile() = default;

    const uint8_t *m_data = nullptr;
    std::size_t m_size = 0;
    void *m_mapping = nullptr;
    std::vector<uint8_t> m_owned;
};
