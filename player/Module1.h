#pragma once

#include <cstdint>
#include <span>

class QTimer;

namespace plovi {
class TrackButton;
}

// Module1's routines that lock the track buttons during playback. They act on
// the buttons and the timer they are given, never on a window.
namespace plovi::Module1 {

// Enables every button, bound or not.
void EnableAllTracks(std::span<TrackButton *const> tracks);
// Disables every button, then enables tracks[index]; an index outside the
// span leaves every button disabled.
void LockToTrack(std::span<TrackButton *const> tracks, int16_t index);
// Stops timer1, then enables every button.
void FinishPlayback(QTimer &timer1, std::span<TrackButton *const> tracks);

} // namespace plovi::Module1
