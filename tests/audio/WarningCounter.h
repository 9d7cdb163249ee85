#pragma once

#include <QtGlobal>

// Counts the warnings logged while it exists; they are not printed.
class WarningCounter
{
  public:
    WarningCounter() : m_previous(qInstallMessageHandler(&WarningCounter::handle)) { s_count = 0; }
    ~WarningCounter() { qInstallMessageHandler(m_previous); }
    WarningCounter(const WarningCounter &) = delete;
    WarningCounter &operator=(const WarningCounter &) = delete;

    [[nodiscard]] int count() const { return s_count; }

  private:
    static void handle(QtMsgType type, const QMessageLogContext &, const QString &)
    {
        if (type == QtWarningMsg)
            ++s_count;
    }

    static inline int s_count = 0;
    QtMessageHandler m_previous;
};
