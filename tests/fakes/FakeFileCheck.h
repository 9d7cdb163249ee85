#pragma once

#include "TrackFileCheck.h"

#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

// A file check for the player's tests: every path is readable except those
// listed as missing when the call begins. While held, every call waits (at
// most five seconds) until released, like a check stuck on a dead network
// mount. Calls come from worker threads.
class FakeFileCheck final : public plovi::TrackFileCheck
{
  public:
    [[nodiscard]] bool isReadable(const QString &path) const override
    {
        std::unique_lock lock(m_mutex);
        m_asked << path;
        const bool readable = !m_missing.contains(path);
        m_changed.wait_for(lock, std::chrono::seconds(5), [this] { return !m_held; });
        return readable;
    }

    void setMissing(const QStringList &paths)
    {
        std::lock_guard lock(m_mutex);
        m_missing = paths;
    }
    void hold()
    {
        std::lock_guard lock(m_mutex);
        m_held = true;
    }
    void release()
    {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }
    // Every path asked about, in the order the calls began.
    [[nodiscard]] QStringList asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

  private:
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable QStringList m_asked;
    QStringList m_missing;
    bool m_held = false;
};
