#include "ProcessLauncher.h"

#include "AppPaths.h"
#include "ExecutableSearch.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

namespace {

bool isRunnableFile(const QString &path)
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

QString strippedName(const QString &name)
{
    QString bare = name.trimmed();
    if (bare.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive)) {
        bare.chop(4);
    }
    return bare;
}

} // namespace

ProcessLauncher::ProcessLauncher() : m_searchFirstIn(programDir()) {}

ProcessLauncher::ProcessLauncher(QString searchFirstIn) : m_searchFirstIn(std::move(searchFirstIn))
{}

QString ProcessLauncher::resolve(const QString &name) const
{
    const QString bare = strippedName(name);
    if (bare.isEmpty() || bare.contains(QLatin1Char('/')) || bare == QLatin1String(".") ||
        bare == QLatin1String("..")) {
        return {};
    }
    if (!m_searchFirstIn.isEmpty()) {
        const QString beside = QDir(m_searchFirstIn).absoluteFilePath(bare);
        if (QDir::isAbsolutePath(beside) && isRunnableFile(beside)) {
            return beside;
        }
    }
    return findOnAbsolutePath(bare);
}

Result<void> ProcessLauncher::launchProgram(const QString &name)
{
    const QString program = resolve(name);
    if (program.isEmpty()) {
        return Failure{};
    }
    QProcess process;
    process.setProgram(program);
    process.setArguments({});
    process.setStandardInputFile(QProcess::nullDevice());
    if (!process.startDetached()) {
        return Failure{process.errorString()};
    }
    return {};
}
