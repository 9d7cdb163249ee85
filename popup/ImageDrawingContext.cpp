#include "ImageDrawingContext.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace popup {

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

// ceil(a / b) for b > 0.
[[nodiscard]] __int128 ceilDiv(__int128 a, __int128 b)
{
    return a >= 0 ? (a + b - 1) / b : -((-a) / b);
}

// A line walked one pixel at a time along its major axis, t = 0 .. major - 1: after
// t steps the minor coordinate has moved by round(t * minor / major), halves away
// from the start, that is floor((2 * t * minor + major) / (2 * major)).
struct Walk
{
    std::int64_t major; // > 0
    std::int64_t minor; // 0 .. major

    // The steps t whose minor offset lies in [low, high], intersected with [lo, hi].
    void clampTo(std::int64_t low, std::int64_t high, std::int64_t &lo, std::int64_t &hi) const
    {
        if (minor == 0) {
            if (low > 0 || high < 0) {
                hi = lo - 1;
            }
            return;
        }
        const __int128 twiceMajor = static_cast<__int128>(2) * major;
        const __int128 twiceMinor = static_cast<__int128>(2) * minor;
        // offset(t) >= low  <=>  2 t minor + major >= 2 major low
        const __int128 first = ceilDiv(twiceMajor * low - major, twiceMinor);
        // offset(t) <= high <=>  2 t minor + major <  2 major (high + 1)
        const __int128 last =
            ceilDiv(twiceMajor * (static_cast<__int128>(high) + 1) - major, twiceMinor) - 1;
        if (first > lo) {
            lo = first > hi ? hi + 1 : static_cast<std::int64_t>(first);
        }
        if (last < hi) {
            hi = last < lo ? lo - 1 : static_cast<std::int64_t>(last);
        }
    }
};

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
    const Walk walk{xMajor ? std::llabs(dx) : std::llabs(dy),
                    xMajor ? std::llabs(dy) : std::llabs(dx)};
    const int majorSign = (xMajor ? dx : dy) > 0 ? 1 : -1;
    const int minorSign = (xMajor ? dy : dx) >= 0 ? 1 : -1;
    const std::int64_t major0 = xMajor ? from.x : from.y;
    const std::int64_t minor0 = xMajor ? from.y : from.x;
    const std::int64_t majorLimit = xMajor ? width : height;
    const std::int64_t minorLimit = xMajor ? height : width;

    // Steps whose major coordinate lies on the image ...
    std::int64_t lo = 0;
    std::int64_t hi = walk.major - 1;
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
    // ... and, of those, the steps whose minor coordinate does too.
    if (minorSign > 0) {
        walk.clampTo(-minor0, minorLimit - 1 - minor0, lo, hi);
    } else {
        walk.clampTo(minor0 - (minorLimit - 1), minor0, lo, hi);
    }
    if (lo > hi) {
        return;
    }

    auto *const pixels = reinterpret_cast<std::uint32_t *>(m_image.bits());
    const std::ptrdiff_t stride = m_image.bytesPerLine() / 4;
    const std::int64_t twiceMajor = 2 * walk.major;
    const std::int64_t twiceMinor = 2 * walk.minor;
    const __int128 start = static_cast<__int128>(twiceMinor) * lo + walk.major;
    const std::int64_t minorPos =
        minor0 + minorSign * static_cast<std::int64_t>(start / twiceMajor);
    std::int64_t remainder = static_cast<std::int64_t>(start % twiceMajor);
    const std::int64_t majorPos = major0 + majorSign * lo;
    const std::int64_t px = xMajor ? majorPos : minorPos;
    const std::int64_t py = xMajor ? minorPos : majorPos;
    const std::ptrdiff_t majorStep = xMajor ? majorSign : majorSign * stride;
    const std::ptrdiff_t minorStep = xMajor ? minorSign * stride : minorSign;
    std::ptrdiff_t at = static_cast<std::ptrdiff_t>(py) * stride + static_cast<std::ptrdiff_t>(px);
    for (std::int64_t count = hi - lo + 1; count > 0; --count) {
        pixels[at] = pixel;
        at += majorStep;
        remainder += twiceMinor;
        if (remainder >= twiceMajor) {
            remainder -= twiceMajor;
            at += minorStep;
        }
    }
}

} // namespace popup
