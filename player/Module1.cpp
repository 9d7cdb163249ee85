#include "Module1.h"

#include "TrackButton.h"

#include <QTimer>

namespace plovi::Module1 {

void EnableAllTracks(std::span<TrackButton *const> tracks)
{
    for (TrackButton *track : tracks) {
        track->setEnabled(true);
    }
}

void LockToTrack(std::span<TrackButton *const> tracks, int16_t index)
{
    for (TrackButton *track : tracks) {
        track->setEnabled(false);
    }
    if (index >= 0 && static_cast<size_t>(index) < tracks.size()) {
        tracks[static_cast<size_t>(index)]->setEnabled(true);
    }
}

void FinishPlayback(QTimer &timer1, std::span<TrackButton *const> tracks)
{
    timer1.stop();
    EnableAllTracks(tracks);
}

} // namespace plovi::Module1
