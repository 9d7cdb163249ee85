#pragma once

#include "MessageReporter.h"

// MessageReporter through a modal QMessageBox captioned "Plovi".
class QtMessageReporter : public MessageReporter
{
  public:
    void showError(QWidget *parent, const QString &text) override;
};
