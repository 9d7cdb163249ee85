#pragma once

#include "ProgramLauncher.h"

#include <QStringList>

// Records every launch request; answers with failure when set.
class FakeLauncher : public ProgramLauncher
{
  public:
    QString launchProgram(const QString &name) override
    {
        m_launched << name;
        return m_failure;
    }

    [[nodiscard]] const QStringList &launched() const { return m_launched; }
    void failWith(const QString &reason) { m_failure = reason; }

  private:
    QStringList m_launched;
    QString m_failure;
};
