#pragma once

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

    // Height of one window caption in pixels.
    [[nodiscard]] static int captionHeight();
};
