#pragma once

#include "Twips.h"

#include <QRect>

// A window rectangle kept in whole pixels and read and written in twips.
// Every setter rounds to the nearest pixel (twips::toPixels, ties to even), so
// the getters always give back the rounded value, as a window does.
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

  private:
    TwipsScale m_scale;
    QRect m_pixels;
};
