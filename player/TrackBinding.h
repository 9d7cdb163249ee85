#pragma once

#include <QString>

#include <cstdint>

namespace plovi {

// One track slot's record of the bindings file.
struct TrackBinding
{
    QString FullPath;  // path of the bound audio file; empty when nothing is bound
    QString ShortName; // caption of the slot's button; may be empty

    friend bool operator==(const TrackBinding &, const TrackBinding &) = default;
};

// Slots are numbered 0 to 14: CmdTrack(k), row k of the settings dialog (Form2),
// record k of yygj.
inline constexpr int16_t kTrackSlots = 15;

// Leading and trailing spaces (U+0020 only) removed, as the enabling rules
// and the browse step trim.
[[nodiscard]] inline QString trimSpaces(const QString &text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text.at(last - 1) == QLatin1Char(' ')) {
        --last;
    }
    return text.mid(first, last - first);
}

} // namespace plovi
