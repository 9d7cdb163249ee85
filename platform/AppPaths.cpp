#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <pwd.h>
#include <unistd.h>

#include <vector>

QString programDir()
{
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath())
        .absolutePath();
}

namespace {

bool usableHome(const QString &path)
{
    return !path.isEmpty() && QDir::isAbsolutePath(path) && QDir::cleanPath(path) != u"/";
}

QString passwdHome()
{
    std::vector<char> buffer(16 * 1024);
    struct passwd entry = {};
    struct passwd *found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return QFile::decodeName(found->pw_dir);
}

} // namespace

QString homeFolderFrom(const QString &envHome, const QString &passwdHome)
{
    for (const QString &candidate : {envHome, passwdHome}) {
        if (usableHome(candidate)) {
            return QDir::cleanPath(candidate);
        }
    }
    return {};
}

QString userHomeFolder()
{
    const QString env = qEnvironmentVariable("HOME");
    return homeFolderFrom(env, usableHome(env) ? QString() : passwdHome());
}
