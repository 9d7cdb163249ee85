#pragma once

#include <QString>

class QWidget;

// Tells the user about a failure the program goes on after.
class MessageReporter
{
  public:
    virtual ~MessageReporter() = default;

    // Modal over parent; returns when the user has dismissed it.
    virtual void showError(QWidget *parent, const QString &text) = 0;
};
