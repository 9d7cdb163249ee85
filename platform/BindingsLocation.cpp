#include "BindingsLocation.h"

#include "AppPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace {

const QString kBindingsName = QStringLiteral("yygj");

} // namespace

BindingsLocation::BindingsLocation(QString readPath, QString savePath, bool installed)
    : m_readPath(std::move(readPath)), m_savePath(std::move(savePath)), m_installed(installed)
{}

QString BindingsLocation::markerName()
{
    return QStringLiteral("plovi.installed");
}

BindingsLocation BindingsLocation::resolve(const Inputs &inputs, const FileExists &fileExists)
{
    const QDir programDir(inputs.programDir);
    const QString beside = QDir::cleanPath(programDir.filePath(kBindingsName));
    const bool installed =
        !inputs.programDirWritable || fileExists(programDir.filePath(markerName()));
    if (!installed) {
        return {beside, beside, false};
    }
    const QString configHome = userConfigHome(inputs.xdgConfigHome, inputs.home);
    if (configHome.isEmpty()) {
        return {beside, QString(), true};
    }
    const QString user = QDir::cleanPath(QDir(configHome).filePath(QStringLiteral("plovi/yygj")));
    if (!fileExists(user) && fileExists(beside)) {
        return {beside, user, true};
    }
    return {user, user, true};
}

BindingsLocation BindingsLocation::forProgramDir(const QString &programDir)
{
    const bool writable = ::access(QFile::encodeName(programDir).constData(), W_OK) == 0;
    return resolve(
        {programDir, writable, qEnvironmentVariable("XDG_CONFIG_HOME"), userHomeFolder()},
        [](const QString &path) { return QFileInfo(path).isFile(); });
}

BindingsLocation BindingsLocation::forRunningProgram()
{
    return forProgramDir(programDir());
}

QString userConfigHome(const QString &xdgConfigHome, const QString &home)
{
    if (!xdgConfigHome.isEmpty() && QDir::isAbsolutePath(xdgConfigHome)) {
        return QDir::cleanPath(xdgConfigHome);
    }
    if (home.isEmpty() || !QDir::isAbsolutePath(home) || QDir::cleanPath(home) == u"/") {
        return {};
    }
    return QDir::cleanPath(QDir(home).filePath(QStringLiteral(".config")));
}
