#pragma once

#include <QString>
#include <QtCore/qnamespace.h>

#include <cstdint>
#include <optional>

namespace plovi {

// The keys of the main window: one per track slot, pressed with no modifier
// (a click) or with Shift (a fade-out of the playing track), and Esc.
//  - slots 0..9: the digits 1..9 and 0 of the main row or of the keypad;
//  - slots 10..14: Q W E R T.
// Where the platform gives the key's position (xcb, Wayland: an XKB keycode),
// the position decides, so that the same keys work under any layout, Latin
// or not; the names are those of a US keyboard's keys at those places.
class TrackKeys
{
  public:
    enum class Action { None, Click, Fade, Stop };
    struct Press
    {
        Action action = Action::None;
        int16_t slot = -1; // for Click and Fade
    };

    // What a key press means. nativeScanCode is 0 where the platform gives no
    // position; usePosition says whether it is an XKB keycode. Auto-repeated
    // presses, and presses with Ctrl, Alt or Meta, mean nothing.
    [[nodiscard]] static Press interpret(int key, Qt::KeyboardModifiers modifiers,
                                         quint32 nativeScanCode, bool usePosition, bool autoRepeat);
    // Whether the platform's scan codes are XKB keycodes.
    [[nodiscard]] static bool platformGivesPositions(const QString &platformName);
    // The key's name for the tooltip of slot (0..14), "1" .. "0", "Q" .. "T".
    [[nodiscard]] static QString keyName(int16_t slot);
};

} // namespace plovi
