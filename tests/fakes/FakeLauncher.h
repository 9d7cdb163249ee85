#pragma once

#include "ProgramLauncher.h"

#include <QStringList>

#include <optional>

// Records every launch request; fails every one once failWith was called.
class FakeLauncher : public ProgramLauncher
{
  public:
    Result<void> launchProgram(const QString &name) override
    {
        m_launched << name;
        if (m_failure) {
            return Failure{*m_failure};
        }
        return {};
    }

    [[nodiscard]] const QStringList &launched() const { return m_launched; }
    // reason as a real launcher gives it: empty for a program not found,
    // otherwise the system's reason.
    void failWith(const QString &reason) { m_failure = reason; }

  private:
    QStringList m_launched;
    std::optional<QString> m_failure;
};
