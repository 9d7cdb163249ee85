#pragma once

class QRect;
class QWidget;

// Twips are 1/1440 inch. The screen's factors follow the logical DPI of the
// primary screen (15 twips per pixel at 96 DPI); without a screen they are 15.
// Every conversion to pixels goes through twips::toPixels: nearest whole
// pixel, ties to even.

// Twips per pixel along each axis.
struct TwipsScale
{
    double perPixelX = 15.0;
    double perPixelY = 15.0;

    // The factors of the primary screen.
    [[nodiscard]] static TwipsScale ofScreen();
};

namespace twips {

[[nodiscard]] double perPixelX();
[[nodiscard]] double perPixelY();

// `twips` in whole pixels of `perPixel` twips (> 0): nearest, ties to even.
[[nodiscard]] int toPixels(double twips, double perPixel);

// In pixels of the primary screen.
[[nodiscard]] int toPixelsX(double twips);
[[nodiscard]] int toPixelsY(double twips);

// A rectangle given in twips, in whole pixels of `scale`.
[[nodiscard]] QRect toPixels(TwipsScale scale, double left, double top, double width,
                             double height);

// Places a widget from a geometry in twips of the primary screen; the widget
// keeps whole pixels, so reading its geometry back gives the rounded values.
void setGeometry(QWidget *w, double left, double top, double width, double height);

} // namespace twips
