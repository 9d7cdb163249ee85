#pragma once

#include <QString>

// The run-time error report: a modal message box captioned with the
// application's name, showing the error number and description; then the
// program ends with a non-zero status. Without a GUI application the report
// goes to standard error.
[[noreturn]] void reportRuntimeError(int number, const QString &description);
