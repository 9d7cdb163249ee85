#pragma once

#include <QRect>

namespace popup {

// Where a top-level window given in logical pixels lands in device pixels.
// Qt multiplies each of x, y, width and height by the device-pixel ratio and
// rounds each on its own (nearest, halves away from zero). With a ratio other
// than 1 it also announces a size increment of the ratio rounded in the
// window's size hints, and window managers keep the device size to the base
// size plus a multiple of it. So a logical bottom edge does not fix the
// device one: at 1.25, top 606 with height 6 ends on device row 766, top 605
// with height 7 on row 765, though both end at logical 612. fit() chooses
// logical values whose device edges are the ones wanted.
class DeviceGeometry
{
  public:
    // `ratio`: device pixels per logical pixel, > 0.
    explicit DeviceGeometry(double ratio) : m_ratio(ratio) {}

    [[nodiscard]] double ratio() const { return m_ratio; }

    // The device size a window manager keeps to a multiple of (from the
    // base size): 1 at a ratio of 1, else the ratio rounded.
    [[nodiscard]] int sizeIncrement() const;

    // The device rectangle Qt asks for when a window is given `logical`.
    [[nodiscard]] QRect toDevice(const QRect &logical) const;

    // A logical rectangle near `logical` whose device rectangle ends at
    // `deviceRight` and `deviceBottom` (one past its last column and row)
    // with a size that is `deviceBase` plus a multiple of sizeIncrement().
    // Width and height stay as they are where they can, else change by as
    // few logical pixels as they must (the larger on a tie). Where nothing
    // within a few pixels fits, the size stays and the device edges come as
    // near to the ones asked for as they can without passing them.
    [[nodiscard]] QRect fit(const QRect &logical, int deviceRight, int deviceBottom,
                            const QSize &deviceBase = QSize(0, 0)) const;

    // The corner nearest `deviceCorner`, up and left of it or on it, at which
    // a window of exactly `logical` size can end; `deviceCorner` itself where
    // none within a few pixels can. With that size as the base size a window
    // manager keeps it.
    [[nodiscard]] QPoint cornerFor(const QSize &logical, const QPoint &deviceCorner) const;

  private:
    struct Span
    {
        int start;
        int length;
    };

    [[nodiscard]] int toDevice(int logical) const;
    // A logical start and length for `length` that end at `deviceEnd`.
    [[nodiscard]] Span fitSpan(int length, int deviceEnd, int deviceBase) const;
    // The device end nearest `deviceEnd`, not past it, at which `length`
    // fits.
    [[nodiscard]] int endFor(int length, int deviceEnd) const;
    // A logical start whose device value is `deviceStart`, if there is one.
    [[nodiscard]] bool startFor(int deviceStart, int &start) const;

    double m_ratio;
};

} // namespace popup
