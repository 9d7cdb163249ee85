#include "TrackKeys.h"

#include <array>

namespace plovi {

namespace {

constexpr int kSlots = 15;

// XKB keycodes (evdev codes + 8) of the keys, by slot.
constexpr std::array<quint32, kSlots> kMainRow = {10, 11, 12, 13, 14, 15, 16, 17,
                                                  18, 19, 24, 25, 26, 27, 28};
// Keypad 1..9, 0: KP_End, KP_Down, KP_Next, KP_Left, KP_Begin, KP_Right,
// KP_Home, KP_Up, KP_Prior, KP_Insert.
constexpr std::array<quint32, 10> kKeypad = {87, 88, 89, 83, 84, 85, 79, 80, 81, 90};

// Qt's keys of the slots without position, and with Shift on a US layout
// (where Shift+1 arrives as "!").
constexpr std::array<int, kSlots> kKeys = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                           Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0,
                                           Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_R, Qt::Key_T};
constexpr std::array<int, 10> kShiftedDigits = {
    Qt::Key_Exclam,    Qt::Key_At,          Qt::Key_NumberSign, Qt::Key_Dollar,
    Qt::Key_Percent,   Qt::Key_AsciiCircum, Qt::Key_Ampersand,  Qt::Key_Asterisk,
    Qt::Key_ParenLeft, Qt::Key_ParenRight};

int16_t slotOfScanCode(quint32 code)
{
    for (int16_t i = 0; i < kSlots; ++i) {
        if (kMainRow[size_t(i)] == code)
            return i;
    }
    for (int16_t i = 0; i < 10; ++i) {
        if (kKeypad[size_t(i)] == code)
            return i;
    }
    return -1;
}

int16_t slotOfKey(int key, bool shift)
{
    for (int16_t i = 0; i < kSlots; ++i) {
        if (kKeys[size_t(i)] == key)
            return i;
    }
    if (shift) {
        for (int16_t i = 0; i < 10; ++i) {
            if (kShiftedDigits[size_t(i)] == key)
                return i;
        }
    }
    return -1;
}

} // namespace

TrackKeys::Press TrackKeys::interpret(int key, Qt::KeyboardModifiers modifiers,
                                      quint32 nativeScanCode, bool usePosition, bool autoRepeat)
{
    if (autoRepeat || (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
        return {};
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    if (key == Qt::Key_Escape)
        return shift ? Press{} : Press{Action::Stop, -1};
    const int16_t slot =
        usePosition && nativeScanCode != 0 ? slotOfScanCode(nativeScanCode) : slotOfKey(key, shift);
    if (slot < 0)
        return {};
    return {shift ? Action::Fade : Action::Click, slot};
}

bool TrackKeys::platformGivesPositions(const QString &platformName)
{
    return platformName == QLatin1String("xcb") ||
           platformName.startsWith(QLatin1String("wayland"));
}

QString TrackKeys::keyName(int16_t slot)
{
    static const std::array<const char *, kSlots> names = {"1", "2", "3", "4", "5", "6", "7", "8",
                                                           "9", "0", "Q", "W", "E", "R", "T"};
    return slot >= 0 && slot < kSlots ? QString::fromLatin1(names[size_t(slot)]) : QString();
}

} // namespace plovi
