#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <optional>

// Small INI files of settings (popup.ini, plovi.ini), read as the bindings
// file is: regular files only, opened without blocking, at most a small cap.
//
// The file is UTF-8. Lines are "Key=Value" under a "[Section]", blank, or
// comments starting with ';' or '#'; spaces around keys and values are
// dropped; section and key names match in any case; a key given twice counts
// its last value. A value is taken verbatim otherwise (commas, quotes and
// backslashes included). QSettings is not used: it reads a value with a comma
// as a list, gives '@', quotes and backslashes meanings of its own, and opens
// the file itself, blocking on a FIFO.
namespace inifile {

// Values keyed "section/key" in lower case.
using Values = QHash<QString, QString>;

// Bytes an INI file may hold; a longer one is a bad file. Settings files of a
// few lines need far less.
inline constexpr qsizetype kSizeLimit = 64 * 1024;

// The values of the bytes; nothing when they are not valid UTF-8 or hold a
// line of any other form.
[[nodiscard]] std::optional<Values> parse(const QByteArray &bytes);

// parse() of the file at path; nothing when it is missing, not a regular file
// (never waited on), unreadable or longer than kSizeLimit.
[[nodiscard]] std::optional<Values> read(const QString &path);

} // namespace inifile
