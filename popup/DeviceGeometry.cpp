#include "DeviceGeometry.h"

#include <QtMath>

#include <cmath>

namespace popup {

namespace {

// How far width and height may move, in logical pixels, to fit the device
// edges: valid device sizes lie at most about 2 x ratio apart.
constexpr int kReach = 8;

} // namespace

int DeviceGeometry::sizeIncrement() const
{
    return m_ratio == 1.0 ? 1 : std::max(1, qRound(m_ratio));
}

int DeviceGeometry::toDevice(int logical) const
{
    return qRound(logical * m_ratio);
}

QRect DeviceGeometry::toDevice(const QRect &logical) const
{
    return QRect(toDevice(logical.x()), toDevice(logical.y()), toDevice(logical.width()),
                 toDevice(logical.height()));
}

bool DeviceGeometry::startFor(int deviceStart, int &start) const
{
    const auto guess = static_cast<int>(std::floor(deviceStart / m_ratio));
    for (const int candidate : {guess, guess + 1, guess - 1}) {
        if (toDevice(candidate) == deviceStart) {
            start = candidate;
            return true;
        }
    }
    return false;
}

DeviceGeometry::Span DeviceGeometry::fitSpan(int length, int deviceEnd) const
{
    const int increment = sizeIncrement();
    for (int reach = 0; reach <= kReach; ++reach) {
        for (const int candidate : {length + reach, length - reach}) {
            const int deviceLength = toDevice(candidate);
            int start = 0;
            if (candidate >= 1 && deviceLength % increment == 0 &&
                startFor(deviceEnd - deviceLength, start)) {
                return {start, candidate};
            }
        }
    }
    // Nothing fits: keep the size and stop short of the edge.
    const int deviceLength = toDevice(length);
    auto start = static_cast<int>(std::floor((deviceEnd - deviceLength) / m_ratio)) + 1;
    while (toDevice(start) + deviceLength > deviceEnd) {
        --start;
    }
    return {start, length};
}

QRect DeviceGeometry::fit(const QRect &logical, int deviceRight, int deviceBottom) const
{
    const Span horizontal = fitSpan(logical.width(), deviceRight);
    const Span vertical = fitSpan(logical.height(), deviceBottom);
    return QRect(horizontal.start, vertical.start, horizontal.length, vertical.length);
}

} // namespace popup
