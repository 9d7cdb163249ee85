#pragma once

#include "ProgramLauncher.h"

// Starts programs as separate processes, with no shell and no arguments.
// A bare name is looked up first in the given directory (by default the
// directory of the running program), then in the absolute entries of PATH;
// the current directory is never searched. A trailing ".exe" is dropped, so
// "Nobix.exe" starts <dir>/Nobix.
class ProcessLauncher : public ProgramLauncher
{
  public:
    ProcessLauncher();
    explicit ProcessLauncher(QString searchFirstIn);

    [[nodiscard]] Result<void> launchProgram(const QString &name) override;

    // Absolute path the name resolves to, or empty when it resolves to nothing.
    [[nodiscard]] QString resolve(const QString &name) const;

  private:
    QString m_searchFirstIn;
};
