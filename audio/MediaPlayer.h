#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

namespace audio {

// The player's media component: one track at a time, used from the thread
// that runs the Qt event loop.
//
// Contract the player relies on:
//  - setFileName() returns at once: it stops whatever plays and unloads it,
//    then the file is opened, measured and its first frames decoded on a
//    worker. Until that load ends, isLoading() is true and duration() and
//    currentPosition() read 0. When it ends, loaded or not, loadFinished() is
//    emitted from the event loop; duration() is then the track's length and
//    currentPosition() 0. For a local file that takes a few milliseconds.
//  - A newer assignment abandons a load still running: its result, whenever
//    it comes, is dropped and no loadFinished() is emitted for it. A worker
//    stuck in a read (a stalled share) holds up nothing else, not even the
//    end of the program. Assigning the name of the load still running keeps
//    that load; assigning that of the track loaded, if not a frame of it has
//    played, keeps the track: it is ready at once, isLoading() false.
//  - Output starts once the load has ended and control is back in the event
//    loop, from the start of the track, unless stop() came after the
//    assignment: a setFileName() followed by stop() is never heard.
//  - A file that cannot be opened or decoded (missing, not audio, damaged, a
//    directory, a FIFO or device, which are refused without blocking) leaves
//    nothing loaded: duration() and currentPosition() both read 0 once its
//    load has ended. Such a file logs one warning, the first time it is
//    assigned; an empty file name logs none.
//  - fileName() returns exactly the text last assigned, whether it loaded or not.
//  - duration() and currentPosition() are in seconds. currentPosition() counts
//    what the output has taken. At the natural end of a track, and where the
//    file ends early (it shrank or changed while playing, or its data cannot be
//    decoded further), playback ends and currentPosition() equals duration()
//    exactly; it stays there until the next assignment. Where the decoder
//    yields more than the file stated, all of it plays and duration() stays
//    ahead of currentPosition() until that end.
//  - When the output is lost while a track plays (the sound server ended or
//    restarted, the device was unplugged), the track goes on where it was
//    once a new output opens within about five seconds; otherwise it ends as
//    a file cut short ends. The next track plays on whatever output exists.
//  - stop() halts at once; the track stays loaded at the position it had. A
//    stop() during a load keeps the track silent when it arrives. What was
//    heard falls to silence over a few milliseconds after it (no click),
//    which the position does not count.
//  - fadeOut() fades what plays to silence over the given seconds, the
//    position going on meanwhile; at silence playback ends where it got to
//    and hasFadedOut() turns true until the next assignment. A stop() or an
//    assignment during a fade ends it at once, as at any other time.
//  - Playback goes on while the event loop is blocked (a modal dialog, a
//    window move).
class MediaPlayer : public QObject
{
    Q_OBJECT
  public:
    ~MediaPlayer() override = default;

    virtual void setFileName(const QString &fileName) = 0;
    [[nodiscard]] virtual QString fileName() const = 0;
    [[nodiscard]] virtual double duration() const = 0;
    [[nodiscard]] virtual double currentPosition() const = 0;
    virtual void stop() = 0;

    // What the tracks assigned from now on are called where the output shows
    // a name (a sound server's mixer): the slot's short name; empty for the
    // component's own choice. Changes nothing of the playback.
    virtual void setStreamTitle(const QString &title) { static_cast<void>(title); }
    // See fadeOut() above.
    virtual void fadeOut(double seconds) = 0;
    [[nodiscard]] virtual bool hasFadedOut() const = 0;
    // The tracks bound to the buttons now, so that work a track needs before
    // it plays (measuring its loudness) can be done ahead, off this thread.
    virtual void expectTracks(const QStringList &fileNames) = 0;
    // Whether the load of the last assignment is still running.
    [[nodiscard]] virtual bool isLoading() const = 0;

  signals:
    // The load of the last assignment ended: duration() is known.
    void loadFinished();
};

} // namespace audio
