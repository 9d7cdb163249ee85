#pragma once

#include <QString>

// Absolute directory of the running executable, without a trailing slash.
// Never the current directory.
[[nodiscard]] QString programDir();
