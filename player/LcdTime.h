#pragma once

#include <QString>

// Module1's routines that turn times into the LCD text "mm:ss" of LblLCD and
// LblLCD3.
namespace plovi::Module1 {

// The pattern "000000": value rounded to a whole number (halves away from
// zero), at least six digits with leading zeros, a leading minus when negative.
// A value that is not finite formats as "000000".
[[nodiscard]] QString FormatSixDigits(double value);
// Minutes, a colon and seconds of the whole seconds in s, the six-digit
// centisecond text above. Text of more than six digits (10 000 s and longer)
// keeps every digit before the centiseconds, so 10 000 s reads "166:40".
[[nodiscard]] QString FormatLcdTime(const QString &s);
// The LCD text of a time in seconds: FormatLcdTime(FormatSixDigits(t * 100)).
[[nodiscard]] QString LcdText(double seconds);
// The LCD text of a time already in centiseconds.
[[nodiscard]] QString LcdTextOfCentiseconds(double centiseconds);

} // namespace plovi::Module1
