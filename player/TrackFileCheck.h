#pragma once

#include <QString>

namespace plovi {

// Whether a bound track's file is there to be played. Runs on a worker
// thread, never the window's: a call may wait as long as the file system
// does (a hung network mount), and must be safe to make from any thread.
class TrackFileCheck
{
  public:
    virtual ~TrackFileCheck() = default;

    // path as the file system sees it (already resolved): true when it names
    // a regular file (links followed) this process may open for reading.
    [[nodiscard]] virtual bool isReadable(const QString &path) const = 0;
};

} // namespace plovi
