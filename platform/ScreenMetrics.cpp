#include "ScreenMetrics.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

QScreen *primaryScreen()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::primaryScreen()
               : nullptr;
}

// Caption bars are at least this tall where the style cannot tell.
constexpr int kMinimumCaption = 18;

} // namespace

int ScreenMetrics::fullScreenWidth() const
{
    const QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return 0;
    }
    const QRect area = screen->availableGeometry();
    return area.x() + area.width();
}

int ScreenMetrics::fullScreenHeight() const
{
    const QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return 0;
    }
    const QRect area = screen->availableGeometry();
    return std::max(0, area.y() + area.height() - captionHeight());
}

int ScreenMetrics::captionHeight()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) == nullptr) {
        return kMinimumCaption;
    }
    const int styled = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    const int text = QFontMetrics(QApplication::font()).height() + 4;
    return std::max({styled, text, kMinimumCaption});
}
