#pragma once

#include <QColor>

#include <cstdint>

// Classic system colour indices (0 scroll bar ... 15 button face ... 24 tool
// tip background) resolved through the application palette. The value is in
// the 0x00BBGGRR layout; an index outside 0..24 gives 0.
[[nodiscard]] int32_t sysColor(int index);

[[nodiscard]] QColor toQColor(int32_t bgr);
[[nodiscard]] int32_t fromQColor(const QColor &c);
