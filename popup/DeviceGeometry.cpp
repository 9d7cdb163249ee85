#include "DeviceGeometry.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace popup {

namespace {

// How far width and height may move, in logical pixels, and a corner, in
// device pixels, to fit: of any ratio + 1 device values in a row, one is the
// rounded multiple of a logical value.
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

DeviceGeometry::Span DeviceGeometry::fitSpan(int length, int deviceEnd, int deviceBase) const
{
    const int increment = sizeIncrement();
    for (int reach = 0; reach <= kReach; ++reach) {
        for (const int candidate : {length + reach, length - reach}) {
            const int deviceLength = toDevice(candidate);
            int start = 0;
            if (candidate >= 1 && (deviceLength - deviceBase) % increment == 0 &&
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

int DeviceGeometry::endFor(int length, int deviceEnd) const
{
    int start = 0;
    for (int in = 0; in <= kReach; ++in) {
        if (startFor(deviceEnd - in - toDevice(length), start)) {
            return deviceEnd - in;
        }
    }
    return deviceEnd;
}

QPoint DeviceGeometry::cornerFor(const QSize &logical, const QPoint &deviceCorner) const
{
    return {endFor(logical.width(), deviceCorner.x()), endFor(logical.height(), deviceCorner.y())};
}

QRect DeviceGeometry::fit(const QRect &logical, int deviceRight, int deviceBottom,
                          const QSize &deviceBase) const
{
    const Span horizontal = fitSpan(logical.width(), deviceRight, deviceBase.width());
    const Span vertical = fitSpan(logical.height(), deviceBottom, deviceBase.height());
    return QRect(horizontal.start, vertical.start, horizontal.length, vertical.length);
}

} // namespace popup
