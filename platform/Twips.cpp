#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kFallbackTwipsPerPixel = 15.0;

QScreen *primaryScreen()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::primaryScreen()
               : nullptr;
}

double factor(bool horizontal)
{
    QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return kFallbackTwipsPerPixel;
    }
    const double dpi = horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return dpi > 0.0 ? kTwipsPerInch / dpi : kFallbackTwipsPerPixel;
}

int toPixels(double twips, double perPixel)
{
    return static_cast<int>(std::nearbyint(twips / perPixel));
}

} // namespace

namespace twips {

double perPixelX()
{
    return factor(true);
}

double perPixelY()
{
    return factor(false);
}

int toPixelsX(double twips)
{
    return toPixels(twips, perPixelX());
}

int toPixelsY(double twips)
{
    return toPixels(twips, perPixelY());
}

double fromPixelsX(int px)
{
    return px * perPixelX();
}

double fromPixelsY(int px)
{
    return px * perPixelY();
}

void setGeometry(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(toPixelsX(left), toPixelsY(top), toPixelsX(width), toPixelsY(height));
}

} // namespace twips
