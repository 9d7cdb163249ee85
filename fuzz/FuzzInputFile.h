#pragma once

// The fuzz targets that read through the player's file reader get each input
// as a real file: one temporary file for the whole run, rewritten for each
// input and removed at exit. A failure to write it stops the run.
#include <QDir>
#include <QString>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>

namespace fuzzinput {

// The file's path, holding exactly data[0..size).
inline QString writeInput(const uint8_t *data, size_t size)
{
    static QTemporaryFile file(QDir::tempPath() + QStringLiteral("/plovi_fuzz_XXXXXX"));
    if (!file.isOpen() && !file.open())
        __builtin_trap();
    if (!file.resize(0) || !file.seek(0) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size) ||
        !file.flush())
        __builtin_trap();
    return file.fileName();
}

} // namespace fuzzinput
