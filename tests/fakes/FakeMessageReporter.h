#pragma once

#include "MessageReporter.h"

#include <QStringList>

// Records the text of every message instead of showing it.
class FakeMessageReporter : public MessageReporter
{
  public:
    void showError(QWidget *, const QString &, const QString &text) override { m_shown << text; }
    [[nodiscard]] const QStringList &shown() const { return m_shown; }

  private:
    QStringList m_shown;
};
