#pragma once

#include <QString>

namespace audio {

// The player's media component: one track at a time, used from the thread
// that runs the Qt event loop.
//
// Contract the player relies on:
//  - setFileName() stops whatever plays, then opens and measures the file:
//    when it returns, duration() is the track's exact length and
//    currentPosition() is 0.
//  - Output starts only once control returns to the event loop, from the
//    start of the track, so a setFileName() followed by stop() in the same
//    handler is never heard.
//  - A file that cannot be opened or decoded (missing, not audio, damaged, a
//    directory, a FIFO or device, which are refused without blocking) leaves
//    nothing loaded, also unloading the track before it: duration() and
//    currentPosition() both read 0. Such a file logs one warning, the first
//    time it is assigned; an empty file name logs none.
//  - fileName() returns exactly the text last assigned, whether it loaded or not.
//  - duration() and currentPosition() are in seconds. currentPosition() counts
//    what the output has taken. At the natural end of a track, and where the
//    file ends early (it shrank or changed while playing, or its data cannot be
//    decoded further), playback ends and currentPosition() equals duration()
//    exactly; it stays there until the next assignment.
//  - When the output is lost while a track plays (the sound server ended or
//    restarted, the device was unplugged), the track goes on where it was
//    once a new output opens within about five seconds; otherwise it ends as
//    a file cut short ends. The next track plays on whatever output exists.
//  - stop() halts at once; the track stays loaded at the position it had.
//  - Playback goes on while the event loop is blocked (a modal dialog, a
//    window move).
class MediaPlayer
{
  public:
    virtual ~MediaPlayer() = default;

    virtual void setFileName(const QString &fileName) = 0;
    [[nodiscard]] virtual QString fileName() const = 0;
    [[nodiscard]] virtual double duration() const = 0;
    [[nodiscard]] virtual double currentPosition() const = 0;
    virtual void stop() = 0;

    // What the tracks assigned from now on are called where the output shows
    // a name (a sound server's mixer): the slot's short name; empty for the
    // component's own choice. Changes nothing of the playback.
    virtual void setStreamTitle(const QString &title) { static_cast<void>(title); }
};

} // namespace audio
