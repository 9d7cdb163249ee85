#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

// Small files read and replaced safely: never waiting on a FIFO or device,
// never reading without bound, never leaving a half-written file in place.
namespace fileaccess {

// The first `limit` bytes of a regular file (links followed). A missing file
// reads as no bytes. Anything else that is not a regular file fails at once,
// without a blocking open.
[[nodiscard]] Result<QByteArray> readRegularFile(const QString &path, qsizetype limit);

// Replaces the file with `bytes` atomically: they go to a hidden
// ".<name>.plovi-save-XXXXXX" beside it, which is synced and renamed over the
// file only when every byte was written, so the old file stays byte for byte
// unless this succeeds. Only a regular file or a missing one is replaced; a
// link is written through to its final target when that is a regular file
// (or missing, then created). A FIFO, device, socket, folder or link loop
// fails and stays as it was. An existing file keeps its permissions, a new
// one gets 0666 less the umask. Temporary files of an earlier save killed
// before its rename are removed first: only names of that pattern, untouched
// for ten minutes and locked by no running save. Fails with the system's
// reason.
[[nodiscard]] Result<void> replaceFile(const QString &path, const QByteArray &bytes);

} // namespace fileaccess
