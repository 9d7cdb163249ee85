#include "ImageDrawingContext.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace {

constexpr std::int32_t kSolidStyle = 0;
constexpr std::uint32_t kOpaque = 0xFF000000u;

// 0x00BBGGRR (top byte ignored) to an opaque 0xAARRGGBB pixel.
[[nodiscard]] std::uint32_t toPixel(std::int32_t colour)
{
    const auto c = static_cast<std::uint32_t>(colour);
    const std::uint32_t r = c & 0xFFu;
    const std::uint32_t g = (c >> 8) & 0xFFu;
    const std::uint32_t b = (c >> 16) & 0xFFu;
    return kOpaque | (r << 16) | (g << 8) | b;
}

// The line from (0, 0) along the major axis: after t steps of one pixel the minor
// coordinate has moved by round(t * minor / major), halves away from the start.
// The position of step t is reached in O(1); stepping on keeps an exact remainder.
struct MinorAxis
{
    std::int64_t major; // > 0
    std::int64_t minor; // >= 0, <= major

    // Offset along the minor axis after t steps.
    [[nodiscard]] std::int64_t at(std::int64_t t) const
    {
        return static_cast<std::int64_t>(
            (static_cast<__int128>(2) * t * minor + major) / (static_cast<__int128>(2) * major));
    }
};

// First t in [lo, hi] for which `pred` holds, for a predicate that is false then
// true along t; hi + 1 when it never holds.
template <typename Pred>
[[nodiscard]] std::int64_t firstTrue(std::int64_t lo, std::int64_t hi, Pred pred)
{
    std::int64_t a = lo;
    std::int64_t b = hi + 1;
    while (a < b) {
        const std::int64_t mid = a + (b - a) / 2;
        if (pred(mid)) {
            b = mid;
        } else {
            a = mid + 1;
        }
    }
    return a;
}

} // namespace

ImageDrawingContext::ImageDrawingContext(QImage &image) : m_image(image) {}

const ImageDrawingContext::Pen *ImageDrawingContext::findPen(Handle handle) const
{
    const auto it = std::find_if(m_pens.begin(), m_pens.end(),
                                 [handle](const Pen &pen) { return pen.handle == handle; });
    return it == m_pens.end() ? nullptr : &*it;
}

int ImageDrawingContext::livePenCount() const
{
    return static_cast<int>(m_pens.size());
}

DrawingContext::Handle ImageDrawingContext::createPen(std::int32_t style, std::int32_t width,
                                                      std::int32_t colour)
{
    // Only what the gradient painter draws with: solid, one pixel (0 also means one).
    if (style != kSolidStyle || width < 0 || width > 1) {
        return 0;
    }
    if (m_nextHandle == std::numeric_limits<Handle>::max()) {
        return 0;
    }
    const Handle handle = m_nextHandle++;
    m_pens.push_back(Pen{handle, toPixel(colour)});
    return handle;
}

DrawingContext::Handle ImageDrawingContext::selectObject(Handle object)
{
    if (object != kDefaultPen && findPen(object) == nullptr) {
        return 0;
    }
    const Handle previous = m_selected;
    m_selected = object;
    return previous;
}

bool ImageDrawingContext::moveTo(std::int32_t x, std::int32_t y, PixelPoint *previous)
{
    if (previous != nullptr) {
        *previous = m_position;
    }
    m_position = PixelPoint{x, y};
    return true;
}

bool ImageDrawingContext::lineTo(std::int32_t x, std::int32_t y)
{
    std::uint32_t pixel = kOpaque;
    if (m_selected != kDefaultPen) {
        const Pen *pen = findPen(m_selected);
        if (pen == nullptr) {
            return false;
        }
        pixel = pen->pixel;
    }
    const PixelPoint to{x, y};
    drawLine(m_position, to, pixel);
    m_position = to;
    return true;
}

bool ImageDrawingContext::deleteObject(Handle object)
{
    if (object == kDefaultPen || object == m_selected) {
        return false;
    }
    const auto it = std::find_if(m_pens.begin(), m_pens.end(),
                                 [object](const Pen &pen) { return pen.handle == object; });
    if (it == m_pens.end()) {
        return false;
    }
    m_pens.erase(it);
    return true;
}

void ImageDrawingContext::drawLine(PixelPoint from, PixelPoint to, std::uint32_t pixel)
{
    const std::int64_t width = m_image.width();
    const std::int64_t height = m_image.height();
    const QImage::Format format = m_image.format();
    if (width <= 0 || height <= 0 ||
        (format != QImage::Format_RGB32 && format != QImage::Format_ARGB32_Premultiplied &&
         format != QImage::Format_ARGB32)) {
        return;
    }

    const std::int64_t dx = std::int64_t{to.x} - from.x;
    const std::int64_t dy = std::int64_t{to.y} - from.y;
    if (dx == 0 && dy == 0) {
        return;
    }
    // Walk t = 0 .. major - 1 along the major axis; the end point is left out.
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const std::int64_t major = xMajor ? std::llabs(dx) : std::llabs(dy);
    const MinorAxis minorAxis{major, xMajor ? std::llabs(dy) : std::llabs(dx)};
    const int majorSign = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorSign = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const std::int64_t major0 = xMajor ? from.x : from.y;
    const std::int64_t minor0 = xMajor ? from.y : from.x;
    const std::int64_t majorLimit = xMajor ? width : height;
    const std::int64_t minorLimit = xMajor ? height : width;

    // Steps whose major coordinate lies on the image.
    std::int64_t lo = 0;
    std::int64_t hi = major - 1;
    if (majorSign > 0) {
        lo = std::max(lo, -major0);
        hi = std::min(hi, majorLimit - 1 - major0);
    } else {
        lo = std::max(lo, major0 - (majorLimit - 1));
        hi = std::min(hi, major0);
    }
    if (lo > hi) {
        return;
    }
    // Of those, the steps whose minor coordinate lies on the image: the minor
    // coordinate moves monotonically, so they form one run.
    const auto minorAt = [&](std::int64_t t) { return minor0 + minorSign * minorAxis.at(t); };
    if (minorSign > 0) {
        lo = firstTrue(lo, hi, [&](std::int64_t t) { return minorAt(t) >= 0; });
        hi = firstTrue(lo, hi, [&](std::int64_t t) { return minorAt(t) > minorLimit - 1; }) - 1;
    } else {
        lo = firstTrue(lo, hi, [&](std::int64_t t) { return minorAt(t) <= minorLimit - 1; });
        hi = firstTrue(lo, hi, [&](std::int64_t t) { return minorAt(t) < 0; }) - 1;
    }
    if (lo > hi) {
        return;
    }

    uchar *const bits = m_image.bits();
    const qsizetype stride = m_image.bytesPerLine();
    // Exact remainder of 2 * t * minor + major over 2 * major, carried from step lo.
    const std::int64_t twiceMajor = 2 * major;
    const std::int64_t twiceMinor = 2 * minorAxis.minor;
    const __int128 start = static_cast<__int128>(twiceMinor) * lo + major;
    std::int64_t minorPos = minor0 + minorSign * static_cast<std::int64_t>(start / twiceMajor);
    std::int64_t remainder = static_cast<std::int64_t>(start % twiceMajor);
    std::int64_t majorPos = major0 + majorSign * lo;
    for (std::int64_t t = lo; t <= hi; ++t) {
        const std::int64_t px = xMajor ? majorPos : minorPos;
        const std::int64_t py = xMajor ? minorPos : majorPos;
        reinterpret_cast<std::uint32_t *>(bits + py * stride)[px] = pixel;
        majorPos += majorSign;
        remainder += twiceMinor;
        if (remainder >= twiceMajor) {
            remainder -= twiceMajor;
            minorPos += minorSign;
        }
    }
}
