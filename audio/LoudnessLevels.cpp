#include "LoudnessLevels.h"

#include "FileAccess.h"
#include "TrackLoudness.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <sys/resource.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace audio {

namespace {

// A cache of some hundred thousand tracks; anything longer is not ours.
constexpr qsizetype CacheLimit = 32 * 1024 * 1024;

struct Stamp
{
    qint64 size = -1;
    qint64 modified = 0;
    friend bool operator==(const Stamp &, const Stamp &) = default;
};

// Size and modification time, or nullopt for anything but a regular file.
std::optional<Stamp> stampOf(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return std::nullopt;
    return Stamp{info.size(), info.lastModified().toMSecsSinceEpoch()};
}

struct Entry
{
    Stamp stamp;
    // nullopt: the track could not be measured (not audio, silent); kept for
    // this run only, so that it is not decoded again and again.
    std::optional<TrackLoudness> loudness;
};

} // namespace

struct LoudnessLevels::Shared
{
    double target = 0.0;
    QString cacheFile;
    std::mutex mutex;
    std::condition_variable idle;
    QHash<QString, Entry> entries;
    std::deque<QString> queue;
    bool working = false;
    bool abandoned = false;

    void load();
    [[nodiscard]] QByteArray cacheText() const;
    // With the mutex held.
    void enqueue(const QString &path, std::shared_ptr<Shared> self);
    void work();
};

void LoudnessLevels::Shared::load()
{
    const Result<QByteArray> read = fileaccess::readRegularFile(cacheFile, CacheLimit);
    if (!read)
        return;
    for (const QByteArray &line : read.value().split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 5)
            continue;
        bool ok[4] = {};
        const Stamp stamp{fields[0].toLongLong(&ok[0]), fields[1].toLongLong(&ok[1])};
        const TrackLoudness loudness{fields[2].toDouble(&ok[2]), fields[3].toDouble(&ok[3])};
        const QString path = QString::fromUtf8(fields[4]);
        if (ok[0] && ok[1] && ok[2] && ok[3] && std::isfinite(loudness.integratedLufs) &&
            !path.isEmpty())
            entries.insert(path, {stamp, loudness});
    }
}

QByteArray LoudnessLevels::Shared::cacheText() const
{
    QByteArray text;
    for (auto it = entries.cbegin(); it != entries.cend(); ++it) {
        if (!it->loudness || it.key().contains(u'\n') || it.key().contains(u'\t'))
            continue;
        text += QByteArray::number(it->stamp.size) + '\t' + QByteArray::number(it->stamp.modified) +
                '\t' + QByteArray::number(it->loudness->integratedLufs, 'f', 2) + '\t' +
                QByteArray::number(it->loudness->truePeakDbtp, 'f', 2) + '\t' + it.key().toUtf8() +
                '\n';
    }
    return text;
}

void LoudnessLevels::Shared::enqueue(const QString &path, std::shared_ptr<Shared> self)
{
    if (path.trimmed().isEmpty() || std::find(queue.begin(), queue.end(), path) != queue.end())
        return;
    queue.push_back(path);
    if (working)
        return;
    try {
        std::thread([self = std::move(self)] { self->work(); }).detach();
        working = true;
    } catch (const std::system_error &) {
        // No thread to spare: the track plays at its own level.
        queue.clear();
    }
}

// On the worker: measures what is queued, one track after another. Detached:
// a track on a stalled file system holds up no one.
void LoudnessLevels::Shared::work()
{
    // Behind the window and the audio thread: on Linux a thread's own nice
    // value, set through its thread id.
    static_cast<void>(setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10));
    std::unique_lock lock(mutex);
    while (!queue.empty() && !abandoned) {
        const QString path = queue.front();
        lock.unlock();
        const std::optional<Stamp> stamp = stampOf(path);
        std::optional<TrackLoudness> loudness;
        if (stamp) {
            if (Result<TrackLoudness> measured = TrackLoudness::measure(path); measured)
                loudness = measured.value();
        }
        lock.lock();
        queue.pop_front();
        if (!stamp)
            continue;
        entries.insert(path, {*stamp, loudness});
        if (loudness && !abandoned) {
            const QByteArray text = cacheText();
            lock.unlock();
            QDir().mkpath(QFileInfo(cacheFile).absolutePath());
            if (const Result<void> saved = fileaccess::replaceFile(cacheFile, text); !saved)
                qWarning("audio::LoudnessLevels: cannot save \"%s\": %s", qUtf8Printable(cacheFile),
                         qUtf8Printable(saved.error()));
            lock.lock();
        }
    }
    working = false;
    idle.notify_all();
}

LoudnessLevels::LoudnessLevels(double targetLufs, const QString &cacheFile)
    : m_shared(std::make_shared<Shared>())
{
    m_shared->target = targetLufs;
    m_shared->cacheFile = cacheFile;
    m_shared->load();
}

LoudnessLevels::~LoudnessLevels()
{
    const std::lock_guard lock(m_shared->mutex);
    m_shared->abandoned = true;
    m_shared->queue.clear();
}

std::optional<double> LoudnessLevels::gainFor(const QString &path)
{
    const std::optional<Stamp> stamp = stampOf(path);
    if (!stamp)
        return std::nullopt;
    const std::lock_guard lock(m_shared->mutex);
    const auto found = m_shared->entries.constFind(path);
    if (found == m_shared->entries.cend() || !(found->stamp == *stamp)) {
        m_shared->enqueue(path, m_shared);
        return std::nullopt;
    }
    if (!found->loudness)
        return std::nullopt;
    return std::pow(10.0, found->loudness->gainDbFor(m_shared->target) / 20.0);
}

void LoudnessLevels::expect(const QStringList &paths)
{
    // Metadata is looked at by the worker, not here: a bound file on a
    // stalled file system must not hold up the window.
    const std::lock_guard lock(m_shared->mutex);
    for (const QString &path : paths) {
        if (!m_shared->entries.contains(path))
            m_shared->enqueue(path, m_shared);
    }
}

bool LoudnessLevels::waitUntilIdle(int timeoutMs) const
{
    std::unique_lock lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                   [this] { return !m_shared->working; });
}

QString LoudnessLevels::cacheFileName()
{
    return QStringLiteral("loudness.tsv");
}

} // namespace audio
