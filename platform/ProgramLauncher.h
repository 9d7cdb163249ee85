#pragma once

#include <QString>

// Starts companion programs by bare name (for example "Nobix.exe").
class ProgramLauncher
{
public:
    virtual ~ProgramLauncher() = default;

    // Starts the program detached, with no arguments, and does not wait.
    // Returns an empty string on success, otherwise the reason it failed
    // (already in the user's language, ready to be shown by a window).
    [[nodiscard]] virtual QString launchProgram(const QString &name) = 0;
};
