#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace audio {

// Even loudness for the player's tracks. Each track is measured once
// (TrackLoudness) on a worker thread of its own, one track after another,
// and kept in a cache file keyed by path, size and modification time, so a
// later run knows it at once. The gain of a track brings it to the target,
// capped so that its true peak stays at or under -1 dBTP.
class LoudnessLevels
{
  public:
    // cacheFile: read now, rewritten (atomically) after each measurement; its
    // folder is created when missing. A missing or unreadable cache is empty.
    LoudnessLevels(double targetLufs, const QString &cacheFile);
    // A measurement under way finishes on its worker, which then ends.
    ~LoudnessLevels();
    LoudnessLevels(const LoudnessLevels &) = delete;
    LoudnessLevels &operator=(const LoudnessLevels &) = delete;

    // The linear gain for the file when its measurement matches its size and
    // modification time now; otherwise nullopt (the track plays at its own
    // level), and it is queued for measuring. Looks at the file's metadata
    // only: a call for a file just opened costs no wait.
    [[nodiscard]] std::optional<double> gainFor(const QString &path);
    // Queues every file not measured yet. Returns at once.
    void expect(const QStringList &paths);
    // Whether the queue has run dry within timeoutMs (for tests and tools).
    [[nodiscard]] bool waitUntilIdle(int timeoutMs) const;

    // Cache lines: size, modification time (ms since the epoch), integrated
    // loudness, true peak, path; separated by tabs.
    [[nodiscard]] static QString cacheFileName();

  private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

} // namespace audio
