#pragma once

#include <QString>

class QWidget;

// The one way the programs tell the user about a failure: a modal warning
// with an OK button. Windows call it; the libraries below them return errors.
class MessageReporter
{
  public:
    virtual ~MessageReporter() = default;

    // Modal over parent (may be null); returns when the user has dismissed
    // it. An empty caption stands for the program's title.
    virtual void showError(QWidget *parent, const QString &caption, const QString &text) = 0;
};
