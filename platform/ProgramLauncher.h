#pragma once

#include "Result.h"

#include <QString>

// Starts companion programs by bare name (for example "Nobix.exe").
class ProgramLauncher
{
  public:
    virtual ~ProgramLauncher() = default;

    // Starts the program detached, with no arguments, and does not wait.
    // Fails with an empty reason when the name resolves to no program, and
    // otherwise with the system's reason the start failed; the caller words
    // the message.
    [[nodiscard]] virtual Result<void> launchProgram(const QString &name) = 0;
};
