#pragma once

#include "Result.h"

#include <QString>

namespace audio {

// A track's loudness by EBU R128, measured by libebur128 over the whole
// decoded track.
struct TrackLoudness
{
    double integratedLufs = 0.0; // integrated loudness, LUFS
    double truePeakDbtp = 0.0;   // largest true peak of any channel, dBTP

    // Decodes the file (AudioFileLoader) and measures it. Slow (the whole
    // track is decoded): for a worker thread. A track too short or too quiet
    // to have an integrated loudness (silence) fails.
    [[nodiscard]] static Result<TrackLoudness> measure(const QString &path);

    // The gain in dB that brings the track to targetLufs, lowered where it
    // would lift the true peak above ceilingDbtp.
    [[nodiscard]] double gainDbFor(double targetLufs, double ceilingDbtp = -1.0) const;

    friend bool operator==(const TrackLoudness &, const TrackLoudness &) = default;
};

} // namespace audio
