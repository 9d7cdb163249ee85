#include "DesktopLinkOpener.h"

#include "ExecutableSearch.h"

#include <QProcess>
#include <QUrl>

bool DesktopLinkOpener::openLink(const LinkRequest &request)
{
    if (request.verb.compare(QLatin1String("open"), Qt::CaseInsensitive) != 0) {
        return false;
    }
    const QUrl url(request.target, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) {
        return false;
    }
    // xdg-open is looked up by hand: Qt's own look-up would honour a "." or
    // empty PATH entry and could run a program from the current directory.
    const QString opener = findOnAbsolutePath(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        return false;
    }
    QProcess process;
    process.setProgram(opener);
    process.setArguments({url.toString(QUrl::FullyEncoded)});
    process.setStandardInputFile(QProcess::nullDevice());
    return process.startDetached();
}
