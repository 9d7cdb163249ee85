#pragma once

#include <QString>

// Absolute directory of the running executable, without a trailing slash.
// Never the current directory.
[[nodiscard]] QString programDir();

// The user's home folder: envHome ($HOME) when it is an absolute path other
// than the root, else passwdHome (the password database's entry) on the same
// terms, else empty: there is none, and nothing is read from or written to
// the root instead.
[[nodiscard]] QString homeFolderFrom(const QString &envHome, const QString &passwdHome);

// homeFolderFrom() over this process's $HOME and its user's password entry.
[[nodiscard]] QString userHomeFolder();
