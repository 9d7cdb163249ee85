#pragma once

#include <QString>

// The system's text for an errno value, in simplified Chinese where the
// system has it (glibc's messages need the zh_CN.UTF-8 locale to exist and
// their translations, Debian libc-l10n, to be installed), otherwise the C
// locale's English text. The process's own locale plays no part; a LANGUAGE
// variable in the environment still chooses the language, as it does for
// every message glibc translates. Leaves errno as it was.
[[nodiscard]] QString systemErrorText(int error);
