#pragma once

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <cstring>

#include <locale.h>

// glibc's Chinese messages for this test process: the system's zh_CN.UTF-8
// locale where it has one, else one built with localedef into folder (which
// must outlive the test) and found through LOCPATH. False where neither can
// be had or the system has no Chinese translations of its messages
// (libc-l10n); LANGUAGE is unset either way, so the locale decides.
inline bool reachChineseMessages(const QString &folder)
{
    qunsetenv("LANGUAGE");
    const auto translated = [] {
        const locale_t chinese = newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, "zh_CN.UTF-8",
                                           static_cast<locale_t>(nullptr));
        if (chinese == static_cast<locale_t>(nullptr)) {
            return false;
        }
        const bool differs =
            std::strcmp(strerror_l(ENOENT, chinese), "No such file or directory") != 0;
        freelocale(chinese);
        return differs;
    };
    if (translated()) {
        return true;
    }
    const QString localedef = QStandardPaths::findExecutable("localedef");
    if (localedef.isEmpty() || folder.isEmpty()) {
        return false;
    }
    QProcess build;
    build.start(localedef, {"-i", "zh_CN", "-f", "UTF-8", QDir(folder).filePath("zh_CN.UTF-8")});
    if (!build.waitForFinished(120000) || build.exitStatus() != QProcess::NormalExit) {
        return false;
    }
    qputenv("LOCPATH", QFile::encodeName(folder));
    return translated();
}
