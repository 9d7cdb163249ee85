#pragma once

#include <cstdint>

class DrawingContext;
class FailureReporter;

namespace gradient::detail {

// The fill of GradientRect::Draw on a width x height area: one line per colour of
// the ramp from color1 to color2, each drawn with a pen of its own that is deleted
// right after the line. Returns twice the number of lines drawn, or 0 after a
// failure, which is reported with the caption "GradientRect".
[[nodiscard]] std::int32_t FillGradient(DrawingContext &dc, std::int32_t width, std::int32_t height,
                                        float angle, std::int32_t color1, std::int32_t color2,
                                        FailureReporter &reporter);

} // namespace gradient::detail
