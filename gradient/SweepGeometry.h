#pragma once

#include <cstdint>
#include <vector>

#include "DrawingContext.h"

// A point with 32-bit float coordinates.
struct FloatPoint
{
    float x = 0.0f;
    float y = 0.0f;
};

namespace gradient {

enum class GradientError {
    None,
    Overflow,    // an integer result does not fit its width
    OutOfMemory, // a list could not be allocated
};

// The user-visible description of an error (UTF-8).
[[nodiscard]] const char *errorText(GradientError error);

// The end points of the sweep lines that cover a W x H area for a gradient at
// `angle` degrees: points 2k and 2k + 1 are the ends of line k, line 0 on the
// start edge. An odd count leaves the last point without a partner. Lines beyond
// the far edge belong to the list. A NaN or infinite angle counts as 315.
// On success `points` holds at least 3 points; on failure it is empty.
[[nodiscard]] GradientError BuildSweepPoints(std::int32_t width, std::int32_t height, float angle,
                                             std::vector<PixelPoint> &points);

namespace detail {

// Turns `point` about `centre` by `degrees`, anticlockwise on a y-down screen.
void RotatePoint(const FloatPoint &centre, FloatPoint &point, const float &degrees);

// numerator / denominator, or 0 when the denominator is exactly 0.
[[nodiscard]] double SafeDivide(double numerator, double denominator);

// Largest point list and colour ramp the painter will allocate; a larger need is
// reported as lack of memory before anything is allocated.
inline constexpr std::int64_t kMaxPoints = std::int64_t{1} << 26;
inline constexpr std::int64_t kMaxColors = std::int64_t{1} << 26;

} // namespace detail
} // namespace gradient
