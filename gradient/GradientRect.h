#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "DrawTarget.h"
#include "DrawingContext.h"
#include "FailureReporter.h"
#include "SweepGeometry.h"
#include "TargetWindow.h"

// The classic system colours: index 0..24 to a colour 0x00BBGGRR.
using SysColorSource = std::function<std::int32_t(int index)>;

// Paints a window's client area with parallel one-pixel lines whose colours run
// from Color1 to Color2 in the direction Angle (degrees, anticlockwise from the
// rightward direction: 0 puts Color1 at the left edge, 90 at the bottom).
//
// Colours are 0x00BBGGRR. A negative colour is a system-colour reference whose
// index is in the low 31 bits; indexes 0..24 are resolved when set, others are
// kept as given. The object holds no handles or buffers between calls.
class GradientRect
{
  public:
    // `reporter` shows failures of Draw; it must outlive the object.
    GradientRect(FailureReporter &reporter, SysColorSource sysColors);

    // Fills the whole client area of `target`. False when nothing was drawn: the
    // area is narrower or lower than 2 pixels, or a failure occurred (then already
    // reported). The target's update lock is always released before returning.
    [[nodiscard]] bool Draw(DrawTarget &target);

    // Resizes `laRetColors` to max(lSteps, 2) colours running from lColor1 to
    // lColor2 and returns that count. The first and last colour are copied whole;
    // the others are blended per channel with a step of (end - start) / count.
    // Returns 0 and leaves `laRetColors` empty when the ramp cannot be held.
    static std::int32_t BlendColors(std::int32_t lColor1, std::int32_t lColor2, std::int32_t lSteps,
                                    std::vector<std::int32_t> &laRetColors);

    void setColor1(std::int32_t lData);
    [[nodiscard]] std::int32_t Color1() const { return m_color1; }
    void setColor2(std::int32_t lData);
    [[nodiscard]] std::int32_t Color2() const { return m_color2; }

    // Stored as fData wrapped into [0, 360]; 360 itself can result from a tiny
    // negative value. NaN and infinities carry no direction and store 315.
    void setAngle(float fData);
    [[nodiscard]] float Angle() const { return m_angle; }

    static constexpr std::int32_t kDefaultColor1 = 16777168; // RGB(208,255,255)
    static constexpr std::int32_t kDefaultColor2 = 4194304;  // RGB(0,0,64)
    static constexpr float kDefaultAngle = 315.0f;

  private:
    [[nodiscard]] std::int32_t resolveColor(std::int32_t lData) const;

    FailureReporter &m_reporter;
    SysColorSource m_sysColors;
    std::int32_t m_color1 = kDefaultColor1;
    std::int32_t m_color2 = kDefaultColor2;
    float m_angle = kDefaultAngle;
};
