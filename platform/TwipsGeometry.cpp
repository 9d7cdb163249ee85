#include "TwipsGeometry.h"

void TwipsGeometry::setLeft(double twips)
{
    m_pixels.moveLeft(twips::toPixels(twips, m_scale.perPixelX));
}

void TwipsGeometry::setTop(double twips)
{
    m_pixels.moveTop(twips::toPixels(twips, m_scale.perPixelY));
}

void TwipsGeometry::setWidth(double twips)
{
    m_pixels.setWidth(twips::toPixels(twips, m_scale.perPixelX));
}

void TwipsGeometry::setHeight(double twips)
{
    m_pixels.setHeight(twips::toPixels(twips, m_scale.perPixelY));
}
