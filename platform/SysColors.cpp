#include "SysColors.h"

#include <QGuiApplication>
#include <QPalette>

#include <array>

namespace {

struct PaletteEntry
{
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Index order is the classic one: COLOR_SCROLLBAR = 0 to COLOR_INFOBK = 24.
constexpr std::array<PaletteEntry, 25> kTable{{
    {QPalette::Active, QPalette::Midlight},          // 0 scroll bar
    {QPalette::Active, QPalette::Dark},              // 1 desktop
    {QPalette::Active, QPalette::Highlight},         // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},       // 3 inactive caption
    {QPalette::Active, QPalette::Window},            // 4 menu
    {QPalette::Active, QPalette::Base},              // 5 window
    {QPalette::Active, QPalette::Shadow},            // 6 window frame
    {QPalette::Active, QPalette::WindowText},        // 7 menu text
    {QPalette::Active, QPalette::Text},              // 8 window text
    {QPalette::Active, QPalette::HighlightedText},   // 9 caption text
    {QPalette::Active, QPalette::Window},            // 10 active border
    {QPalette::Inactive, QPalette::Window},          // 11 inactive border
    {QPalette::Active, QPalette::Mid},               // 12 application workspace
    {QPalette::Active, QPalette::Highlight},         // 13 highlight
    {QPalette::Active, QPalette::HighlightedText},   // 14 highlighted text
    {QPalette::Active, QPalette::Button},            // 15 button face
    {QPalette::Active, QPalette::Dark},              // 16 button shadow
    {QPalette::Disabled, QPalette::Text},            // 17 grey text
    {QPalette::Active, QPalette::ButtonText},        // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText}, // 19 inactive caption text
    {QPalette::Active, QPalette::Light},             // 20 button highlight
    {QPalette::Active, QPalette::Shadow},            // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},          // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},       // 23 tool tip text
    {QPalette::Active, QPalette::ToolTipBase},       // 24 tool tip background
}};

QPalette applicationPalette()
{
    return qobject_cast<QGuiApplication *>(QCoreApplication::instance()) != nullptr
               ? QGuiApplication::palette()
               : QPalette();
}

} // namespace

int32_t sysColor(int index)
{
    if (index < 0 || index >= static_cast<int>(kTable.size())) {
        return 0;
    }
    const PaletteEntry &entry = kTable[static_cast<size_t>(index)];
    return fromQColor(applicationPalette().color(entry.group, entry.role));
}

QColor toQColor(int32_t bgr)
{
    return QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
}

int32_t fromQColor(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return static_cast<int32_t>(rgb.red() | (rgb.green() << 8) | (rgb.blue() << 16));
}
