#include "GradientRect.h"

#include <cmath>
#include <exception>
#include <new>
#include <utility>

#include "GradientFill.h"

namespace {

// What Draw reports when the target has no window or no drawing context.
constexpr const char *kTargetLacksMember = "对象不支持该属性或方法";
constexpr const char *kUnknownFailure = "未知错误";

constexpr std::int32_t kSysColorFlag = static_cast<std::int32_t>(0x80000000u);
constexpr std::int32_t kLastSysColorIndex = 24;

// Every float of smaller magnitude wraps exactly by the floor formula.
constexpr double kExactWrapLimit = 16777216.0; // 2^24

struct Channels
{
    std::int32_t r;
    std::int32_t g;
    std::int32_t b;
};

[[nodiscard]] Channels splitColor(std::int32_t colour)
{
    return {colour & 0xFF, (colour & 0xFF00) / 256, (colour & 0xFF0000) / 65536};
}

[[nodiscard]] float channelStep(std::int32_t from, std::int32_t to, std::int32_t steps)
{
    return static_cast<float>(
        gradient::detail::SafeDivide(static_cast<float>(to - from), static_cast<float>(steps)));
}

[[nodiscard]] std::int32_t blendChannel(float n, float step, std::int32_t start)
{
    return static_cast<std::int32_t>(
        std::nearbyint(static_cast<double>(n) * static_cast<double>(step) + start));
}

} // namespace

GradientRect::GradientRect(FailureReporter &reporter, SysColorSource sysColors)
    : m_reporter(reporter), m_sysColors(std::move(sysColors))
{}

bool GradientRect::Draw(DrawTarget &target)
{
    TargetWindow *window = nullptr;
    bool result = false;
    try {
        window = target.targetWindow();
        if (window == nullptr) {
            m_reporter.reportFailure({}, kTargetLacksMember);
            return false;
        }
        window->lockUpdates();
        ClientRect rect;
        const bool known = window->clientRect(rect);
        if (known && rect.right > 1 && rect.bottom > 1) {
            DrawingContext *dc = target.drawingContext();
            if (dc == nullptr) {
                m_reporter.reportFailure({}, kTargetLacksMember);
            } else {
                result = gradient::detail::FillGradient(*dc, rect.right, rect.bottom, m_angle,
                                                        m_color1, m_color2, m_reporter) > 0;
            }
        }
    } catch (const std::bad_alloc &) {
        result = false;
        m_reporter.reportFailure({}, gradient::errorText(gradient::GradientError::OutOfMemory));
    } catch (const std::exception &e) {
        result = false;
        m_reporter.reportFailure({}, e.what());
    } catch (...) {
        result = false;
        m_reporter.reportFailure({}, kUnknownFailure);
    }
    if (window != nullptr) {
        try {
            window->unlockUpdates();
        } catch (...) {
            // Releasing the lock has no result anyone acts on.
        }
    }
    return result;
}

std::int32_t GradientRect::BlendColors(std::int32_t lColor1, std::int32_t lColor2,
                                       std::int32_t lSteps, std::vector<std::int32_t> &laRetColors)
{
    const std::int32_t steps = lSteps < 2 ? 2 : lSteps;
    laRetColors.clear();
    if (steps > gradient::detail::kMaxColors) {
        return 0;
    }

    const Channels from = splitColor(lColor1);
    const Channels to = splitColor(lColor2);
    const float dr = channelStep(from.r, to.r, steps);
    const float dg = channelStep(from.g, to.g, steps);
    const float db = channelStep(from.b, to.b, steps);

    try {
        laRetColors.resize(static_cast<std::size_t>(steps));
    } catch (const std::bad_alloc &) {
        laRetColors.clear();
        return 0;
    }
    laRetColors.front() = lColor1;
    laRetColors.back() = lColor2;
    for (std::int32_t n = 1; n <= steps - 2; ++n) {
        const float nf = static_cast<float>(n);
        const std::int32_t r = blendChannel(nf, dr, from.r);
        const std::int32_t g = blendChannel(nf, dg, from.g);
        const std::int32_t b = blendChannel(nf, db, from.b);
        laRetColors[static_cast<std::size_t>(n)] = g * 256 + r + b * 65536;
    }
    return steps;
}

std::int32_t GradientRect::resolveColor(std::int32_t lData) const
{
    if (lData >= 0) {
        return lData;
    }
    const std::int32_t index = lData & ~kSysColorFlag;
    if (index <= kLastSysColorIndex && m_sysColors) {
        return m_sysColors(index);
    }
    return lData;
}

void GradientRect::setColor1(std::int32_t lData)
{
    m_color1 = resolveColor(lData);
}

void GradientRect::setColor2(std::int32_t lData)
{
    m_color2 = resolveColor(lData);
}

void GradientRect::setAngle(float fData)
{
    if (!std::isfinite(fData)) {
        m_angle = kDefaultAngle;
        return;
    }
    const double angle = fData;
    double wrapped = 0.0;
    if (std::fabs(angle) < kExactWrapLimit) {
        wrapped = angle - 360.0 * std::floor(angle / 360.0);
    } else {
        // Past this size the quotient above no longer holds the angle's position
        // within its turn; the exact remainder does.
        wrapped = std::fmod(angle, 360.0);
        if (wrapped < 0.0) {
            wrapped += 360.0;
        }
    }
    m_angle = static_cast<float>(wrapped);
}
