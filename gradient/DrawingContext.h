#pragma once

#include <cstdint>

// A pixel position in a drawing context; y grows downwards.
struct PixelPoint
{
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const PixelPoint &, const PixelPoint &) = default;
};

// The drawing surface of a window, in the manner of a GDI device context:
// one current position, one selected pen, objects addressed by handle.
//
// Contract:
//  - Handles are non-zero; 0 means "no object" and is what a failed call returns.
//  - createPen() makes a solid pen (style 0) `width` pixels wide in the colour
//    0x00BBGGRR; the pen does nothing until selected.
//  - selectObject() makes the object current and returns the handle of the object
//    it displaced (the context's own default pen when nothing was selected before).
//  - moveTo() sets the current position and reports the previous one.
//  - lineTo() draws with the selected pen from the current position up to, but not
//    including, (x, y), then makes (x, y) the current position. Coordinates may lie
//    anywhere, also far outside the surface; what falls outside is clipped.
//  - deleteObject() frees a pen that is no longer selected.
// The gradient painter ignores the results of moveTo, lineTo and deleteObject.
class DrawingContext
{
  public:
    using Handle = std::int32_t;

    virtual ~DrawingContext() = default;

    [[nodiscard]] virtual Handle createPen(std::int32_t style, std::int32_t width,
                                           std::int32_t colour) = 0;
    [[nodiscard]] virtual Handle selectObject(Handle object) = 0;
    virtual bool moveTo(std::int32_t x, std::int32_t y, PixelPoint *previous) = 0;
    virtual bool lineTo(std::int32_t x, std::int32_t y) = 0;
    virtual bool deleteObject(Handle object) = 0;
};
