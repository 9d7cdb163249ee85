#include "PlaybackSettings.h"

#include "BindingsLocation.h"
#include "IniFile.h"

#include <QDir>

#include <cmath>

namespace plovi {

namespace {

std::optional<double> targetOf(const std::optional<inifile::Values> &values)
{
    if (!values) {
        return std::nullopt;
    }
    const auto found = values->constFind(QStringLiteral("playback/loudness"));
    if (found == values->cend()) {
        return std::nullopt;
    }
    bool ok = false;
    const double target = found->toDouble(&ok);
    if (!ok || !std::isfinite(target) || target < -70.0 || target > 0.0) {
        return std::nullopt;
    }
    return target;
}

} // namespace

std::optional<double> PlaybackSettings::loudnessTarget(const QByteArray &iniText)
{
    return targetOf(inifile::parse(iniText));
}

std::optional<double> PlaybackSettings::loudnessTargetOfFile(const QString &path)
{
    return targetOf(inifile::read(path));
}

QString PlaybackSettings::iniPath(const QString &xdgConfigHome, const QString &home)
{
    return QDir(userConfigHome(xdgConfigHome, home)).filePath(QStringLiteral("plovi/plovi.ini"));
}

QString PlaybackSettings::cacheFolder(const QString &xdgCacheHome, const QString &home)
{
    const QString base = QDir::isAbsolutePath(xdgCacheHome)
                             ? QDir::cleanPath(xdgCacheHome)
                             : QDir(home).filePath(QStringLiteral(".cache"));
    return QDir(base).filePath(QStringLiteral("plovi"));
}

} // namespace plovi
