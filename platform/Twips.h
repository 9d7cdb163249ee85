#pragma once

class QWidget;

// Twips are 1/1440 inch. The factors follow the logical DPI of the primary
// screen (15 twips per pixel at 96 DPI); without a screen they are 15.
namespace twips {

[[nodiscard]] double perPixelX();
[[nodiscard]] double perPixelY();

// Nearest whole pixel, ties to even.
[[nodiscard]] int toPixelsX(double twips);
[[nodiscard]] int toPixelsY(double twips);

[[nodiscard]] double fromPixelsX(int px);
[[nodiscard]] double fromPixelsY(int px);

// Places a widget from a geometry in twips; the widget keeps whole pixels, so
// reading its geometry back gives the rounded values.
void setGeometry(QWidget *w, double left, double top, double width, double height);

} // namespace twips
