#pragma once

#include <QRect>

// The size of the client area of a full-screen window, in pixels: the right
// edge of the primary screen's available area (without panels and task bars),
// and its bottom edge less the height of one window caption. Both are 0 when
// there is no screen. Tests override the two functions.
class ScreenMetrics
{
  public:
    virtual ~ScreenMetrics() = default;

    [[nodiscard]] virtual int fullScreenWidth() const;
    [[nodiscard]] virtual int fullScreenHeight() const;

    // Device pixels per logical pixel on the primary screen; 1 when there is
    // no screen.
    [[nodiscard]] virtual double devicePixelRatio() const;

    // The primary screen's available area in device pixels; empty when there
    // is no screen. Qt gives the area in logical pixels, each length rounded,
    // so the device lengths are taken back through deviceLength().
    [[nodiscard]] virtual QRect availableDeviceGeometry() const;

    // The device length of a screen length that Qt gives as `logical`
    // logical pixels at `ratio` (>= 1): of the device lengths that round to
    // it, the nearest to `logical` x `ratio`, the even one on a tie, as
    // screens come in even sizes (1024 for 683 at 1.5, where 1025 would
    // round to 683 too; 768 for 614 at 1.25, not 767).
    [[nodiscard]] static int deviceLength(int logical, double ratio);

    // Height of one window caption in pixels.
    [[nodiscard]] static int captionHeight();
};
