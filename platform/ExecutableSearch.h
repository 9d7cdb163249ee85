#pragma once

#include <QString>

// Absolute path of an executable found in the absolute entries of PATH, or
// empty. Empty and relative entries ("", ".", "bin") are skipped, so the
// current directory is never searched.
[[nodiscard]] QString findOnAbsolutePath(const QString &name);
