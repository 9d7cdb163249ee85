#include "ScreenMetrics.h"

#include <QApplication>
#include <QFontMetrics>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <cmath>

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

double ScreenMetrics::devicePixelRatio() const
{
    const QScreen *screen = primaryScreen();
    return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

QRect ScreenMetrics::availableDeviceGeometry() const
{
    const QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return {};
    }
    // Qt keeps a screen's origin in device pixels and scales the rest of its
    // areas from there.
    const double ratio = screen->devicePixelRatio();
    const QPoint origin = screen->geometry().topLeft();
    const QRect area = screen->availableGeometry();
    return QRect(origin.x() + deviceLength(area.x() - origin.x(), ratio),
                 origin.y() + deviceLength(area.y() - origin.y(), ratio),
                 deviceLength(area.width(), ratio), deviceLength(area.height(), ratio));
}

int ScreenMetrics::deviceLength(int logical, double ratio)
{
    return static_cast<int>(std::nearbyint(logical * ratio));
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
