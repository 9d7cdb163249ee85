#pragma once

#include <QString>

// The file-open dialog object: set Filter, call ShowOpen, read FileName.
// FileName is kept from one ShowOpen to the next; a cancelled dialog leaves
// it as it was (empty until a file has been picked).
class FileDialog
{
  public:
    virtual ~FileDialog() = default;

    virtual void setFilter(const QString &filter) = 0;
    [[nodiscard]] virtual QString filter() const = 0;

    // Modal; returns once the user has picked a file (true, and FileName is
    // that file) or cancelled (false, FileName unchanged).
    [[nodiscard]] virtual bool showOpen() = 0;

    [[nodiscard]] virtual QString fileName() const = 0;
    virtual void setFileName(const QString &fileName) = 0;
};
