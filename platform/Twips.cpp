#include "Twips.h"

#include <QGuiApplication>
#include <QRect>
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

} // namespace

TwipsScale TwipsScale::ofScreen()
{
    return TwipsScale{twips::perPixelX(), twips::perPixelY()};
}

namespace twips {

double perPixelX()
{
    return factor(true);
}

double perPixelY()
{
    return factor(false);
}

int toPixels(double twips, double perPixel)
{
    // std::nearbyint under the default rounding mode: ties go to the even pixel.
    return static_cast<int>(std::nearbyint(twips / perPixel));
}

int toPixelsX(double twips)
{
    return toPixels(twips, perPixelX());
}

int toPixelsY(double twips)
{
    return toPixels(twips, perPixelY());
}

QRect toPixels(TwipsScale scale, double left, double top, double width, double height)
{
    return QRect(toPixels(left, scale.perPixelX), toPixels(top, scale.perPixelY),
                 toPixels(width, scale.perPixelX), toPixels(height, scale.perPixelY));
}

void setGeometry(QWidget *w, double left, double top, double width, double height)
{
    w->setGeometry(toPixels(TwipsScale::ofScreen(), left, top, width, height));
}

} // namespace twips
