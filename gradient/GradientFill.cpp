#include "GradientFill.h"

#include <cmath>
#include <exception>
#include <new>
#include <string>
#include <vector>

#include "DrawingContext.h"
#include "FailureReporter.h"
#include "GradientRect.h"
#include "SweepGeometry.h"

namespace gradient::detail {

namespace {

constexpr const char *kCaption = "GradientRect";
constexpr const char *kUnknownFailure = "未知错误";

} // namespace

std::int32_t FillGradient(DrawingContext &dc, std::int32_t width, std::int32_t height, float angle,
                          std::int32_t color1, std::int32_t color2, FailureReporter &reporter)
{
    DrawingContext::Handle pen = 0;
    DrawingContext::Handle displaced = 0;
    bool selected = false;
    const char *failure = nullptr;
    std::string described;
    try {
        std::vector<PixelPoint> points;
        const GradientError error = BuildSweepPoints(width, height, angle, points);
        if (error != GradientError::None) {
            reporter.reportFailure(kCaption, errorText(error));
            return 0;
        }
        const auto n = static_cast<std::int32_t>(points.size());
        const auto colourCount = static_cast<std::int32_t>(std::nearbyint(n / 2.0));
        std::vector<std::int32_t> ramp;
        if (GradientRect::BlendColors(color1, color2, colourCount, ramp) == 0) {
            reporter.reportFailure(kCaption, errorText(GradientError::OutOfMemory));
            return 0;
        }

        std::int32_t i = 0;
        for (; i <= n - 2; i += 2) {
            const PixelPoint &from = points[static_cast<std::size_t>(i)];
            const PixelPoint &to = points[static_cast<std::size_t>(i) + 1];
            PixelPoint previous;
            dc.moveTo(from.x, from.y, &previous);
            pen = dc.createPen(0, 1, ramp[static_cast<std::size_t>(i / 2)]);
            displaced = dc.selectObject(pen);
            selected = true;
            dc.lineTo(to.x, to.y);
            (void)dc.selectObject(displaced);
            selected = false;
            dc.deleteObject(pen);
            pen = 0;
        }
        return i;
    } catch (const std::bad_alloc &) {
        failure = errorText(GradientError::OutOfMemory);
    } catch (const std::exception &e) {
        described = e.what();
        failure = described.c_str();
    } catch (...) {
        failure = kUnknownFailure;
    }

    // Leave the context as it was found: the displaced object back in place and no
    // pen of this fill left alive.
    try {
        if (selected) {
            (void)dc.selectObject(displaced);
        }
        if (pen != 0) {
            dc.deleteObject(pen);
        }
    } catch (...) {
        // The failure below is the one worth reporting.
    }
    reporter.reportFailure(kCaption, failure);
    return 0;
}

} // namespace gradient::detail
