#pragma once

#include <QString>

namespace audio {

// The player's media component: one track at a time.
//
// Contract the player relies on:
//  - setFileName() stops whatever plays, opens and measures the file before it
//    returns (duration() is exact at once), then plays it from the start.
//  - fileName() returns exactly the text last assigned, whether it loaded or not.
//  - duration() and currentPosition() are in seconds; both read 0 when nothing
//    is loaded. Once a track has played to its end, currentPosition() equals
//    duration() exactly and stays there until the next assignment.
//  - stop() halts at once; the track stays loaded at the position it had.
class MediaPlayer
{
  public:
    virtual ~MediaPlayer() = default;

    virtual void setFileName(const QString &fileName) = 0;
    [[nodiscard]] virtual QString fileName() const = 0;
    [[nodiscard]] virtual double duration() const = 0;
    [[nodiscard]] virtual double currentPosition() const = 0;
    virtual void stop() = 0;
};

} // namespace audio
