#include "ExecutableSearch.h"

#include <QDir>
#include <QStandardPaths>

QString findOnAbsolutePath(const QString &name)
{
    QStringList searchPath;
    const QStringList entries =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        if (QDir::isAbsolutePath(entry)) {
            searchPath << entry;
        }
    }
    if (searchPath.isEmpty()) {
        return {};
    }
    return QStandardPaths::findExecutable(name, searchPath);
}
