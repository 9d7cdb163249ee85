#include "DesktopLinkOpener.h"

#include <QDesktopServices>
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
    return QDesktopServices::openUrl(url);
}
