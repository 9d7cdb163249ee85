#pragma once

#include "MessageReporter.h"

// MessageReporter through QMessageBox: exclamation icon, OK button, captioned
// with the application's display name unless a caption is given.
class MessageBoxReporter final : public MessageReporter
{
  public:
    void showError(QWidget *parent, const QString &caption, const QString &text) override;
};
