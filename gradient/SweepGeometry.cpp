#include "SweepGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>

namespace gradient {

namespace {

constexpr float kFallbackAngle = 315.0f;

// A double taken to the nearest int32 (ties to even); false when it does not fit.
[[nodiscard]] bool roundToInt32(double value, std::int32_t &out)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= static_cast<double>(std::numeric_limits<std::int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        return false;
    }
    out = static_cast<std::int32_t>(rounded);
    return true;
}

// Smallest k with a + k * step beyond `limit`: above it for step +1, below it
// (the limit then being 0) for step -1.
[[nodiscard]] std::int64_t firstStepBeyond(std::int64_t a, std::int64_t limit, int step)
{
    return step * (limit - a) + 1;
}

} // namespace

const char *errorText(GradientError error)
{
    switch (error) {
    case GradientError::None:
        return "";
    case GradientError::Overflow:
        return "溢出";
    case GradientError::OutOfMemory:
        return "内存不足";
    }
    return "";
}

namespace detail {

void RotatePoint(const FloatPoint &centre, FloatPoint &point, const float &degrees)
{
    const float r = static_cast<float>(static_cast<double>(degrees) * 0.017453292519943278);
    const float dx = point.x - centre.x;
    const float dy = point.y - centre.y;
    const double s = std::sin(static_cast<double>(r));
    const double c = std::cos(static_cast<double>(r));
    point.x = static_cast<float>(static_cast<double>(dy) * s + static_cast<double>(dx) * c +
                                 static_cast<double>(centre.x));
    point.y = static_cast<float>(static_cast<double>(centre.y) -
                                 (static_cast<double>(dx) * s - static_cast<double>(dy) * c));
}

double SafeDivide(double numerator, double denominator)
{
    if (denominator == 0.0) {
        return 0.0;
    }
    return numerator / denominator;
}

} // namespace detail

GradientError BuildSweepPoints(std::int32_t width, std::int32_t height, float angle,
                               std::vector<PixelPoint> &points)
{
    points.clear();
    if (!std::isfinite(angle)) {
        angle = kFallbackAngle;
    }
    const double w = width;
    const double h = height;

    const FloatPoint centre{static_cast<float>(std::floor(w / 2.0)),
                            static_cast<float>(std::floor(h / 2.0))};
    const float longer = static_cast<float>(width > height ? width : height);
    const double longerSq = static_cast<double>(longer) * static_cast<double>(longer);
    const float radius = static_cast<float>((std::sqrt(longerSq + longerSq) + 2.0) / 2.0);

    FloatPoint e0{static_cast<float>(static_cast<double>(centre.x) - radius), centre.y};
    FloatPoint e1{static_cast<float>(static_cast<double>(radius) + centre.x), centre.y};

    const double turnSum = static_cast<double>(angle) + 90.0;
    const float turn = static_cast<float>(turnSum - 360.0 * std::floor(turnSum / 360.0));
    detail::RotatePoint(centre, e0, turn);
    detail::RotatePoint(centre, e1, turn);

    const float spanX = static_cast<float>(std::fabs(static_cast<double>(e0.x) - e1.x));
    const float spanY = static_cast<float>(std::fabs(static_cast<double>(e0.y) - e1.y));
    const bool steep = spanX <= spanY;

    const double maxX = std::max(e0.x, e1.x);
    const double minX = std::min(e0.x, e1.x);
    const double maxY = std::max(e0.y, e1.y);
    const double minY = std::min(e0.y, e1.y);

    float offX = 0.0f;
    float offY = 0.0f;
    std::int16_t stepX = 0;
    std::int16_t stepY = 0;
    if (angle >= 0.0f && angle <= 90.0f) {
        if (steep) {
            offX = static_cast<float>(-maxX);
            stepX = 1;
        } else {
            offY = static_cast<float>(h - minY);
            stepY = -1;
        }
    } else if (angle >= 90.0f && angle <= 180.0f) {
        if (steep) {
            offX = static_cast<float>(w - minX);
            stepX = -1;
        } else {
            offY = static_cast<float>(h - minY);
            stepY = -1;
        }
    } else if (angle >= 180.0f && angle <= 270.0f) {
        if (steep) {
            offX = static_cast<float>(w - minX);
            stepX = -1;
        } else {
            offY = static_cast<float>(-maxY);
            stepY = 1;
        }
    } else {
        if (steep) {
            offX = static_cast<float>(-maxX);
            stepX = 1;
        } else {
            offY = static_cast<float>(-maxY);
            stepY = 1;
        }
    }

    PixelPoint first;
    PixelPoint second;
    if (!roundToInt32(static_cast<double>(offX) + e0.x, first.x) ||
        !roundToInt32(static_cast<double>(offY) + e0.y, first.y) ||
        !roundToInt32(static_cast<double>(offX) + e1.x, second.x) ||
        !roundToInt32(static_cast<double>(offY) + e1.y, second.y)) {
        return GradientError::Overflow;
    }

    // The sweep ends at the first point that, with the point before it, lies wholly
    // beyond the far edge. Knowing that count up front lets the list be allocated
    // once, and refused when it could never be held.
    const int step = stepX + stepY;
    const std::int64_t limit = step > 0 ? (stepX != 0 ? width : height) : 0;
    const std::int64_t a = stepX != 0 ? first.x : first.y;
    const std::int64_t b = stepX != 0 ? second.x : second.y;
    const std::int64_t ka = firstStepBeyond(a, limit, step);
    const std::int64_t kb = firstStepBeyond(b, limit, step);
    const std::int64_t lastEven = 2 * std::max<std::int64_t>({ka, kb + 1, 1});
    const std::int64_t lastOdd = 2 * std::max<std::int64_t>({ka, kb, 1}) + 1;
    const std::int64_t expected = std::min(lastEven, lastOdd) + 1;
    if (expected > detail::kMaxPoints) {
        return GradientError::OutOfMemory;
    }

    try {
        points.reserve(static_cast<std::size_t>(expected));
    } catch (const std::bad_alloc &) {
        return GradientError::OutOfMemory;
    }
    points.push_back(first);
    points.push_back(second);

    bool finished = false;
    std::int32_t i = 2;
    while (!finished) {
        if (static_cast<std::int64_t>(i) >= expected) {
            // The count computed above is exact; running past it means the sweep
            // cannot end, which must not turn into an unbounded loop.
            points.clear();
            return GradientError::OutOfMemory;
        }
        const PixelPoint &before = points[static_cast<std::size_t>(i - 2)];
        points.push_back(PixelPoint{before.x + stepX, before.y + stepY});
        ++i;
        const PixelPoint &p1 = points[static_cast<std::size_t>(i - 1)];
        const PixelPoint &p2 = points[static_cast<std::size_t>(i - 2)];
        if (stepX > 0) {
            finished = p1.x > width && p2.x > width;
        } else if (stepX < 0) {
            finished = p1.x < 0 && p2.x < 0;
        } else if (stepY > 0) {
            finished = p1.y > height && p2.y > height;
        } else {
            finished = p1.y < 0 && p2.y < 0;
        }
    }
    return GradientError::None;
}

} // namespace gradient
