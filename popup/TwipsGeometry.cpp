#include "TwipsGeometry.h"

#include "Twips.h"

#include <cmath>

namespace {

int whole(double twips, double perPixel)
{
    return static_cast<int>(std::nearbyint(twips / perPixel));
}

} // namespace

TwipsScale TwipsScale::ofScreen()
{
    return TwipsScale{twips::perPixelX(), twips::perPixelY()};
}

void TwipsGeometry::setLeft(double twips)
{
    m_pixels.moveLeft(whole(twips, m_scale.perPixelX));
}

void TwipsGeometry::setTop(double twips)
{
    m_pixels.moveTop(whole(twips, m_scale.perPixelY));
}

void TwipsGeometry::setWidth(double twips)
{
    m_pixels.setWidth(whole(twips, m_scale.perPixelX));
}

void TwipsGeometry::setHeight(double twips)
{
    m_pixels.setHeight(whole(twips, m_scale.perPixelY));
}

QRect TwipsGeometry::toPixels(TwipsScale scale, double left, double top, double width,
                              double height)
{
    return QRect(whole(left, scale.perPixelX), whole(top, scale.perPixelY),
                 whole(width, scale.perPixelX), whole(height, scale.perPixelY));
}
