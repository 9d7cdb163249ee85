#pragma once

class QString;

// The run-time error report: a modal critical message box captioned with the
// application's name, showing `message` (the program words it); then the
// program ends with a non-zero status. Without a GUI application the message
// goes to standard error.
[[noreturn]] void reportRuntimeError(const QString &message);
