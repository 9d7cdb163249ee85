#pragma once

#include <QImage>

#include <cstdint>
#include <vector>

#include "DrawingContext.h"

namespace popup {

// A DrawingContext on a QImage (Format_RGB32 or Format_ARGB32_Premultiplied):
// solid pens one pixel wide, lines that leave out their end point.
//
// Lines are rasterised here with exact integer arithmetic and written straight
// into the image's scan lines, with every pixel opaque. A pixel depends only on the
// two end points, never on how far a line reaches outside the image, so lines one
// pixel apart tile without gaps or overlaps. The image is referenced, not copied:
// it may be reassigned between calls (for example when its widget is resized).
class ImageDrawingContext : public DrawingContext
{
  public:
    explicit ImageDrawingContext(QImage &image);

    [[nodiscard]] Handle createPen(std::int32_t style, std::int32_t width,
                                   std::int32_t colour) override;
    [[nodiscard]] Handle selectObject(Handle object) override;
    bool moveTo(std::int32_t x, std::int32_t y, PixelPoint *previous) override;
    bool lineTo(std::int32_t x, std::int32_t y) override;
    bool deleteObject(Handle object) override;

    // The pen selected when nothing else is: black, never deleted.
    static constexpr Handle kDefaultPen = 1;

    [[nodiscard]] PixelPoint currentPosition() const { return m_position; }
    // Pens created and not yet deleted, the default pen excluded.
    [[nodiscard]] int livePenCount() const;

  private:
    struct Pen
    {
        Handle handle;
        std::uint32_t pixel;
    };

    [[nodiscard]] const Pen *findPen(Handle handle) const;
    void drawLine(PixelPoint from, PixelPoint to, std::uint32_t pixel);

    QImage &m_image;
    std::vector<Pen> m_pens;
    Handle m_nextHandle = kDefaultPen + 1;
    Handle m_selected = kDefaultPen;
    PixelPoint m_position;
};

} // namespace popup
