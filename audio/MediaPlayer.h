#pragma once

#include <QString>
#include <QStringList>

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
//    currentPosition() both read 0. Each such assignment logs one warning.
//  - fileName() returns exactly the text last assigned, whether it loaded or not.
//  - duration() and currentPosition() are in seconds. currentPosition() counts
//    what the output has taken. At the natural end of a track, and where the
//    file ends early (it shrank or changed while playing, or its data cannot be
//    decoded further), playback ends and currentPosition() equals duration()
//    exactly; it stays there until the next assignment.
//  - stop() halts at once; the track stays loaded at the position it had.
//    What was heard falls to silence over a few milliseconds after it (no
//    click), which the position does not count.
//  - fadeOut() fades what plays to silence over the given seconds, the
//    position going on meanwhile; at silence playback ends where it got to
//    and hasFadedOut() turns true until the next assignment. A stop() or an
//    assignment during a fade ends it at once, as at any other time.
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
    virtual void fadeOut(double seconds) = 0;
    [[nodiscard]] virtual bool hasFadedOut() const = 0;
    // The tracks bound to the buttons now, so that work a track needs before
    // it plays (measuring its loudness) can be done ahead, off this thread.
    virtual void expectTracks(const QStringList &fileNames) = 0;
};

} // namespace audio
