#pragma once

#include <QTimer>

namespace plovi {

// A timer with a text tag (Timer1 keeps the playing slot's index in it).
class TaggedTimer : public QTimer
{
    Q_OBJECT
  public:
    using QTimer::QTimer;

    [[nodiscard]] const QString &tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

  private:
    QString m_tag;
};

} // namespace plovi
