#pragma once

#include <QRect>

// Twips per pixel along each axis.
struct TwipsScale
{
    double perPixelX = 15.0;
    double perPixelY = 15.0;

    // The factors of the primary screen.
    [[nodiscard]] static TwipsScale ofScreen();
};

// A window rectangle kept in whole pixels and read and written in twips.
// Every setter rounds to the nearest pixel (ties to even), so the getters
// always give back the rounded value, as a window does.
class TwipsGeometry
{
  public:
    explicit TwipsGeometry(TwipsScale scale) : m_scale(scale) {}

    [[nodiscard]] double left() const { return m_pixels.x() * m_scale.perPixelX; }
    [[nodiscard]] double top() const { return m_pixels.y() * m_scale.perPixelY; }
    [[nodiscard]] double width() const { return m_pixels.width() * m_scale.perPixelX; }
    [[nodiscard]] double height() const { return m_pixels.height() * m_scale.perPixelY; }

    void setLeft(double twips);
    void setTop(double twips);
    void setWidth(double twips);
    void setHeight(double twips);

    [[nodiscard]] QRect pixels() const { return m_pixels; }
    [[nodiscard]] TwipsScale scale() const { return m_scale; }

    // A rectangle given in twips, in whole pixels.
    [[nodiscard]] static QRect toPixels(TwipsScale scale, double left, double top, double width,
                                        double height);

  private:
    TwipsScale m_scale;
    QRect m_pixels;
};
