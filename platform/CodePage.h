#pragma once

#include <QByteArray>
#include <QString>

// Text of the bindings file: GB18030, which is byte for byte GBK (code page
// 936) for every character GBK holds and can also hold every other character.
// Conversion goes through glibc iconv.
namespace codepage {

// Bytes that are not valid GB18030 become U+FFFD, one per bad byte; an
// incomplete sequence at the end becomes one U+FFFD. Never fails.
[[nodiscard]] QString fromGb18030(const QByteArray &bytes);

// Every character is encoded; an unpaired surrogate becomes "?".
[[nodiscard]] QByteArray toGb18030(const QString &text);

} // namespace codepage
