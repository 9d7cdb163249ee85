#include "LcdTime.h"

#include <cmath>
#include <limits>

namespace plovi::Module1 {

namespace {
constexpr int kCentisecondDigits = 2;
constexpr int kSixDigits = 6;
constexpr int kLegacySecondsChars = 4;

// Leading sign and digits of the text, as a number; no digits read as 0.
qint64 leadingNumber(const QString &text)
{
    int pos = 0;
    while (pos < text.size() && text.at(pos) == QLatin1Char(' ')) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() &&
        (text.at(pos) == QLatin1Char('-') || text.at(pos) == QLatin1Char('+'))) {
        negative = text.at(pos) == QLatin1Char('-');
        ++pos;
    }
    qint64 value = 0;
    constexpr qint64 kLimit = std::numeric_limits<qint64>::max() / 10 - 9;
    for (; pos < text.size() && text.at(pos).isDigit() && value < kLimit; ++pos) {
        value = value * 10 + text.at(pos).digitValue();
    }
    return negative ? -value : value;
}

// Format(n, "00"): at least two digits, a minus sign before them when negative.
QString twoDigits(qint64 n)
{
    const QString digits = QString::number(n < 0 ? -n : n).rightJustified(2, QLatin1Char('0'));
    return n < 0 ? QLatin1Char('-') + digits : digits;
}
} // namespace

QString FormatSixDigits(double value)
{
    // Beyond 1e15 a double no longer holds whole numbers exactly; no track is
    // that long, so such values are clamped rather than overflowing.
    constexpr double kLargest = 1e15;
    if (!std::isfinite(value)) {
        value = 0.0;
    }
    const double rounded = std::round(std::fmin(std::fabs(value), kLargest));
    const auto whole = static_cast<qint64>(rounded);
    const QString digits = QString::number(whole).rightJustified(kSixDigits, QLatin1Char('0'));
    return (value < 0 && whole != 0) ? QLatin1Char('-') + digits : digits;
}

QString FormatLcdTime(const QString &s)
{
    qsizetype digitCount = 0;
    for (const QChar c : s) {
        digitCount += c.isDigit() ? 1 : 0;
    }
    const QString secondsText = digitCount > kSixDigits ? s.left(s.size() - kCentisecondDigits)
                                                        : s.left(kLegacySecondsChars);
    const qint64 seconds = leadingNumber(secondsText);
    return twoDigits(seconds / 60) + QLatin1Char(':') + twoDigits(seconds % 60);
}

QString LcdText(double seconds)
{
    return LcdTextOfCentiseconds(seconds * 100.0);
}

QString LcdTextOfCentiseconds(double centiseconds)
{
    return FormatLcdTime(FormatSixDigits(centiseconds));
}

} // namespace plovi::Module1
