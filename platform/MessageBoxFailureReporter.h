#pragma once

#include <QPointer>
#include <QWidget>

#include "FailureReporter.h"

// Reports failures in a modal warning box (exclamation icon, OK button), parented
// to `parent` when it is still alive. An empty caption shows the application's
// display name.
class MessageBoxFailureReporter : public FailureReporter
{
  public:
    explicit MessageBoxFailureReporter(QWidget *parent = nullptr);

    void reportFailure(std::string_view caption, std::string_view text) override;

  private:
    QPointer<QWidget> m_parent;
};
