#pragma once

#include "Twips.h"

#include <cstdint>

class QFont;
class QLabel;

namespace popup {

// Sets a label's font and text colour (0x00BBGGRR), then places it with its
// top-left corner at (left, top) twips and sizes it to fit its text.
void layoutLabel(QLabel *label, TwipsScale scale, double left, double top, const QFont &font,
                 int32_t colour);

} // namespace popup
