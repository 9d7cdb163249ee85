#include "PlayerServices.h"

#include "TrackBinding.h"

#include <QDir>
#include <QFileInfo>

namespace plovi {

QString PlayerServices::currentBindingsPath() const
{
    if (!bindingsSavePath.isEmpty() && QFileInfo::exists(bindingsSavePath)) {
        return bindingsSavePath;
    }
    return bindingsPath;
}

QString PlayerServices::resolveTrackPath(const QString &path) const
{
    const bool driveLetter = path.size() >= 2 && path.at(0).isLetter() &&
                             path.at(0).unicode() < 0x80 && path.at(1) == QLatin1Char(':');
    if (trimSpaces(path).isEmpty() || QDir::isAbsolutePath(path) || driveLetter) {
        return path;
    }
    return QFileInfo(currentBindingsPath()).absoluteDir().filePath(path);
}

} // namespace plovi
