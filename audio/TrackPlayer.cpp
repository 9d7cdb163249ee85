#include "TrackPlayer.h"

#include "AudioFileLoader.h"
#include "AudioSystem.h"
#include "PcmSource.h"

#include <QFileInfo>

#include <QPromise>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>

namespace audio {

namespace {

// Frames per device request: 23 ms at 44.1 kHz, and a device close that
// waits only about twice that.
constexpr int BufferFrames = 1024;
constexpr int DefaultRate = 44100;
constexpr int DefaultChannels = 2;
// Retries for a lost device: soon (a server restart takes a fraction of a
// second), then at most once a second, so a missing server costs nothing.
constexpr int FirstRetryDelayMs = 100;
constexpr int LastRetryDelayMs = 1000;
// Room for the stop's ramp: 5 ms of 8 channels at 384 kHz.
constexpr std::size_t TailSamples = 16384;

} // namespace

TrackPlayer::TrackPlayer(AudioSystem &system, DeviceOpening opening, Loader loader)
    : m_system(system), m_loader(loader ? std::move(loader) : Loader(&AudioFileLoader::load)),
      m_tail(TailSamples)
{
    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(0);
    connect(&m_startTimer, &QTimer::timeout, this, [this] { startPlayback(); });
    m_watchTimer.setInterval(WatchIntervalMs);
    connect(&m_watchTimer, &QTimer::timeout, this, &TrackPlayer::watchDevice);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &TrackPlayer::retryLostDevice);
    // The ramp and what the device holds ahead of it (two buffers) have
    // played by then.
    m_pauseTimer.setSingleShot(true);
    m_pauseTimer.setInterval(100);
    connect(&m_pauseTimer, &QTimer::timeout, this, &TrackPlayer::pauseWhenQuiet);
    // Opened ahead so that the first track starts without waiting for the
    // device; a failure shows again, with its reason, when a track is assigned.
    if (opening == DeviceOpening::Now)
        static_cast<void>(prepareDevice(DefaultRate, DefaultChannels));
}

TrackPlayer::~TrackPlayer()
{
    m_load.reset();
    m_pending.reset();
    halt();
    // A player that goes while it plays (the program quits) ends with the
    // stop's ramp too: it lasts a few milliseconds.
    for (int waited = 0; m_device && waited < 20; ++waited) {
        {
            const std::lock_guard lock(*m_device);
            if (m_tailPlayed >= m_tailFrames)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    m_device.reset();
    waitForClosedDevices();
}

void TrackPlayer::audioCallback(void *userData, uint8_t *stream, int length)
{
    static_cast<TrackPlayer *>(userData)->fill(stream, length);
}

// Runs on SDL's audio thread with the device lock held.
void TrackPlayer::fill(uint8_t *stream, int length)
{
    auto *out = reinterpret_cast<int16_t *>(stream);
    const int channels = m_outputChannels;
    const int64_t frames = length / (static_cast<int>(sizeof(int16_t)) * channels);
    int64_t written = 0;
    if (m_tailPlayed < m_tailFrames) {
        const int64_t take = std::min(frames, m_tailFrames - m_tailPlayed);
        std::memcpy(out, m_tail.data() + m_tailPlayed * channels,
                    static_cast<std::size_t>(take * channels) * sizeof(int16_t));
        static_cast<void>(m_tailLevel.apply(out, take));
        m_tailPlayed += take;
        written = take;
    }
    if (m_playing.load() && m_source != nullptr) {
        int16_t *const first = out + written * channels;
        int64_t got = 0;
        bool ended = false;
        while (written + got < frames) {
            const int64_t read = m_source->read(first + got * channels, frames - written - got);
            if (read <= 0) {
                ended = true;
                break;
            }
            got += read;
        }
        const int64_t audible = m_level.apply(first, got);
        if (m_level.isSilent()) {
            // A fade has reached silence: playback ends where it got to.
            m_playedFrames.store(m_playedFrames.load() + audible);
            m_fadedOut.store(true);
            m_playing.store(false);
            written += audible;
        } else if (const int64_t played = m_playedFrames.load() + got; ended) {
            // The end of the data, or data that cannot be decoded further, is
            // the end of the track, wherever the stated length put it: the
            // duration becomes what played, and the position lands on it
            // exactly. The length is stored first, so that no reader sees the
            // position reach a length still to change.
            m_frameCount.store(played);
            m_playedFrames.store(played);
            m_ended.store(true);
            m_playing.store(false);
            written += got;
        } else {
            m_playedFrames.store(played);
            written += got;
        }
    }
    std::memset(out + written * channels, 0,
                static_cast<std::size_t>((frames - written) * channels) * sizeof(int16_t));
}

void TrackPlayer::openDeviceInBackground()
{
    if (m_device || m_pending)
        return;
    m_pending = std::make_unique<PendingDevice>(m_system, DefaultRate, DefaultChannels,
                                                BufferFrames, &TrackPlayer::audioCallback, this,
                                                QString(), OutputDevice::Fallback::Allowed);
}

void TrackPlayer::setFileName(const QString &fileName)
{
    const bool same = fileName == m_fileName;
    m_fileName = fileName;
    halt();
    m_startWhenLoaded = true;
    // The load still running, or a track loaded and never played (a
    // hover's), is the file opened anew: kept, so that a click after a hover
    // does not measure the file again.
    if (same && m_load != nullptr)
        return;
    if (same && m_source != nullptr && m_playedFrames.load() == 0 && !m_ended.load()) {
        m_startTimer.start();
        return;
    }
    m_load.reset();
    install(nullptr);
    startLoad(fileName);
}

void TrackPlayer::startLoad(const QString &fileName)
{
    m_load = std::make_unique<QFutureWatcher<LoadResult>>();
    connect(m_load.get(), &QFutureWatcherBase::finished, this, &TrackPlayer::finishLoad);
    QPromise<LoadResult> promise;
    m_load->setFuture(promise.future());
    // The worker shares nothing with the player but the promise: abandoned,
    // it may finish long after the player, or never.
    auto load = [loader = m_loader, fileName, promise = std::move(promise)]() mutable {
        promise.start();
        promise.addResult(std::make_shared<Result<std::unique_ptr<PcmSource>>>(loader(fileName)));
        promise.finish();
    };
    try {
        std::thread(std::move(load)).detach();
    } catch (const std::system_error &) {
        // No thread to spare: loaded here, and delivered from the event loop
        // all the same.
        load();
    }
}

void TrackPlayer::finishLoad()
{
    // The watcher is the sender of this call: deleted once it has returned.
    QFutureWatcher<LoadResult> *const done = m_load.release();
    done->deleteLater();
    const LoadResult loaded = done->future().resultCount() > 0 ? done->result() : nullptr;

    QString error = QStringLiteral("the load ended without a result");
    std::unique_ptr<PcmSource> source;
    if (loaded != nullptr && !*loaded) {
        error = loaded->error();
    } else if (loaded != nullptr) {
        std::unique_ptr<PcmSource> &opened = loaded->value();
        if (const Result<void> device =
                prepareDevice(opened->sampleRate(), opened->channels(),
                              m_device ? std::optional(m_device->streamName()) : std::nullopt);
            !device)
            error = device.error();
        else
            source = std::move(opened);
    }
    install(std::move(source));
    // An empty slot is no fault, and a file the player hovers, plays and
    // reloads is one fault.
    if (m_source == nullptr) {
        if (!m_fileName.isEmpty() && !m_refused.contains(m_fileName)) {
            m_refused.insert(m_fileName);
            qWarning("audio::TrackPlayer: nothing loaded for \"%s\": %s",
                     qUtf8Printable(m_fileName), qUtf8Printable(error));
        }
    } else if (m_startWhenLoaded) {
        m_startTimer.start();
    }
    emit loadFinished();
}

void TrackPlayer::install(std::unique_ptr<PcmSource> source)
{
    // Looked up before the device lock: it looks at the file's metadata (of
    // a file the load has just opened).
    const std::optional<double> gain =
        source != nullptr && m_gainFor ? m_gainFor(m_fileName) : std::nullopt;
    std::unique_ptr<PcmSource> previous;
    std::unique_lock<OutputDevice> lock;
    if (m_device)
        lock = std::unique_lock(*m_device);
    previous = std::move(m_source);
    m_source = std::move(source);
    m_sampleRate = m_source != nullptr ? m_source->sampleRate() : 0;
    m_frameCount.store(m_source != nullptr ? m_source->frameCount() : 0);
    m_playedFrames.store(0);
    m_ended.store(false);
    m_fadedOut.store(false);
    if (m_source != nullptr) {
        m_level.reset(m_sampleRate, m_source->channels());
        m_level.setGain(gain.value_or(1.0));
    }
}

QString TrackPlayer::fileName() const
{
    return m_fileName;
}

double TrackPlayer::duration() const
{
    return m_sampleRate > 0 ? static_cast<double>(frameCount()) / m_sampleRate : 0.0;
}

double TrackPlayer::currentPosition() const
{
    return m_sampleRate > 0 ? static_cast<double>(m_playedFrames.load()) / m_sampleRate : 0.0;
}

void TrackPlayer::stop()
{
    m_startWhenLoaded = false;
    halt();
}

void TrackPlayer::fadeOut(double seconds)
{
    if (!m_device || !m_playing.load())
        return;
    const std::lock_guard lock(*m_device);
    m_level.startRamp(seconds);
}

bool TrackPlayer::hasFadedOut() const
{
    return m_fadedOut.load();
}

void TrackPlayer::expectTracks(const QStringList &fileNames)
{
    if (m_tracksExpected)
        m_tracksExpected(fileNames);
}

void TrackPlayer::setLoudness(GainLookup gainFor, TracksExpected expected)
{
    m_gainFor = std::move(gainFor);
    m_tracksExpected = std::move(expected);
}

bool TrackPlayer::isLoading() const
{
    return m_load != nullptr;
}

bool TrackPlayer::isPlaying() const
{
    return m_playing.load();
}

int64_t TrackPlayer::playedFrames() const
{
    return m_playedFrames.load();
}

// Playing past the stated length, one frame more than played: the window
// takes a position equal to the duration for the end of the track.
int64_t TrackPlayer::frameCount() const
{
    if (m_ended.load())
        return m_frameCount.load();
    const int64_t stated = m_frameCount.load();
    const int64_t played = m_playedFrames.load();
    if (played < stated)
        return stated;
    return m_playing.load() ? played + 1 : played;
}

void TrackPlayer::setStreamTitle(const QString &title)
{
    m_streamTitle = title;
}

// The file's title tag is not read here: that read could stall the window on
// a share that does not answer.
QString TrackPlayer::streamName() const
{
    return !m_streamTitle.isEmpty() ? m_streamTitle : QFileInfo(m_fileName).fileName();
}

void TrackPlayer::endHere()
{
    m_frameCount.store(m_playedFrames.load());
    m_ended.store(true);
}

// On a sound server each track is a stream of its own, named after it (SDL
// names a stream only when it opens); the silent drivers show no names.
bool TrackPlayer::startPlayback(OutputDevice::Fallback fallback)
{
    if (m_source == nullptr)
        return true;
    const Result<void> device =
        prepareDevice(m_sampleRate, m_source->channels(), streamName(), fallback);
    if (!device) {
        if (fallback == OutputDevice::Fallback::RealOnly)
            return false;
        // No output at all: the track ends at once, as a file cut short.
        qWarning("audio::TrackPlayer: no output for \"%s\": %s", qUtf8Printable(m_fileName),
                 qUtf8Printable(device.error()));
        endHere();
        return true;
    }
    {
        const std::lock_guard lock(*m_device);
        m_playing.store(!m_ended.load());
    }
    m_device->resume();
    m_watchTimer.start();
    return true;
}

// SDL keeps calling a lost device's callback, into nothing: the frames played
// after the loss, up to one watch interval, are skipped.
void TrackPlayer::watchDevice()
{
    if (!m_device || !m_device->isLost()) {
        if (!m_playing.load())
            m_watchTimer.stop();
        return;
    }
    m_watchTimer.stop();
    bool wasPlaying = false;
    {
        const std::lock_guard lock(*m_device);
        wasPlaying = m_playing.exchange(false);
    }
    m_device.reset();
    if (!wasPlaying)
        return;
    m_lostFor.start();
    m_retryDelayMs = FirstRetryDelayMs;
    m_retryTimer.start(m_retryDelayMs);
}

// Only a real device will do: a track that went on silently would seem to
// play while the server is back.
void TrackPlayer::retryLostDevice()
{
    if (startPlayback(OutputDevice::Fallback::RealOnly))
        return;
    const qint64 left = ResumeWindowMs - m_lostFor.elapsed();
    if (left <= 0) {
        endHere();
        return;
    }
    m_retryDelayMs = std::min(m_retryDelayMs * 2, LastRetryDelayMs);
    m_retryTimer.start(static_cast<int>(std::min<qint64>(m_retryDelayMs, left)));
}

// Once this returns, the audio callback hands no further frame of the track
// to the device; what was heard is ramped to silence by the frames that
// follow it, and the device pauses once they have played.
void TrackPlayer::halt()
{
    m_startTimer.stop();
    m_watchTimer.stop();
    m_retryTimer.stop();
    if (!m_device) {
        m_playing.store(false);
        return;
    }
    bool ramping = false;
    {
        const std::lock_guard lock(*m_device);
        if (m_playing.load()) {
            takeStopTail();
            ramping = m_tailFrames > 0;
        }
        m_playing.store(false);
    }
    if (ramping)
        m_pauseTimer.start();
    else if (!m_pauseTimer.isActive())
        m_device->pause();
}

// With the device lock held, while the track plays.
void TrackPlayer::takeStopTail()
{
    m_tailFrames = 0;
    m_tailPlayed = 0;
    if (m_source == nullptr || m_outputChannels <= 0)
        return;
    const int channels = m_outputChannels;
    const auto wanted =
        static_cast<int64_t>(std::llround(PlaybackLevel::StopRampSeconds * m_device->sampleRate()));
    const int64_t room = static_cast<int64_t>(m_tail.size()) / channels;
    const int64_t frames = std::min(wanted, room);
    int64_t got = 0;
    while (got < frames) {
        const int64_t read = m_source->read(m_tail.data() + got * channels, frames - got);
        if (read <= 0)
            break;
        got += read;
    }
    m_tailLevel = m_level;
    m_tailLevel.startRamp(static_cast<double>(std::max<int64_t>(got, 1)) / m_device->sampleRate());
    m_tailFrames = got;
}

void TrackPlayer::pauseWhenQuiet()
{
    if (!m_device)
        return;
    {
        const std::lock_guard lock(*m_device);
        if (m_playing.load() || m_tailPlayed < m_tailFrames) {
            if (!m_playing.load())
                m_pauseTimer.start();
            return;
        }
    }
    m_device->pause();
}

// Keeps the open device when it already has this format. Otherwise the old
// device, halted, is closed on a worker while the new one opens: SDL lets a
// closing device's thread finish its buffer and then wait two more, some
// 70 ms that would otherwise delay the new track. Where the output takes one
// device at a time, the new one opens once every old one is closed; under
// SDL's disk driver, which writes every device into the one file it names,
// the old one is closed first.
Result<void> TrackPlayer::prepareDevice(int sampleRate, int channels,
                                        const std::optional<QString> &streamName,
                                        OutputDevice::Fallback fallback)
{
    // A lost device closes at once; so does a silent one while a real one
    // may be had again, which needs every device closed.
    if (m_device && (m_device->isLost() || m_system.realDriversDue())) {
        m_device.reset();
        waitForClosedDevices();
    }
    if (m_device && m_device->sampleRate() == sampleRate && m_device->channels() == channels &&
        (!streamName || m_device->isSilent() || *streamName == m_device->streamName()))
        return {};
    // The device of another format goes: so does the rest of a stop's ramp.
    m_pauseTimer.stop();
    if (m_device) {
        m_device->pause();
        const std::lock_guard lock(*m_device);
        m_tailFrames = 0;
        m_tailPlayed = 0;
    }
    if (m_device && m_device->driverName() == QLatin1String("disk"))
        m_device.reset();
    closeDeviceInBackground();
    // Every open device is paused: no callback reads this now.
    m_outputChannels = channels;
    Result<OutputDevice> opened = openDevice(sampleRate, channels, streamName, fallback);
    if (!opened && !m_closing.empty() && !m_pending) {
        waitForClosedDevices();
        opened = openDevice(sampleRate, channels, streamName, fallback);
    }
    if (!opened)
        return Failure{opened.error()};
    m_device.emplace(std::move(opened).value());
    return {};
}

Result<OutputDevice> TrackPlayer::openDevice(int sampleRate, int channels,
                                             const std::optional<QString> &streamName,
                                             OutputDevice::Fallback fallback)
{
    if (m_pending) {
        std::optional<Result<OutputDevice>> opened = m_pending->take();
        if (!opened)
            return Failure{QStringLiteral("the sound server has not answered")};
        const bool fits = m_pending->sampleRate() == sampleRate &&
                          m_pending->channels() == channels && *opened &&
                          (!streamName || opened->value().isSilent() ||
                           opened->value().streamName() == *streamName);
        m_pending.reset();
        if (fits)
            return std::move(*opened);
        // Closed on a worker, but on the disk driver, where it would write
        // into the file the new one writes: there it closes here, first.
        if (*opened && opened->value().driverName() != QLatin1String("disk")) {
            m_device.emplace(std::move(*opened).value());
            closeDeviceInBackground();
        }
        opened.reset();
    }
    m_pending = std::make_unique<PendingDevice>(m_system, sampleRate, channels, BufferFrames,
                                                &TrackPlayer::audioCallback, this,
                                                streamName.value_or(QString()), fallback);
    std::optional<Result<OutputDevice>> opened = m_pending->take();
    if (!opened)
        return Failure{QStringLiteral("the sound server does not answer")};
    m_pending.reset();
    return std::move(*opened);
}

void TrackPlayer::closeDeviceInBackground()
{
    if (!m_device)
        return;
    std::erase_if(m_closing, [](const std::future<void> &closing) {
        return closing.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    });
    auto old = std::make_unique<OutputDevice>(std::move(*m_device));
    m_device.reset();
    try {
        m_closing.push_back(
            std::async(std::launch::async, [old = std::move(old)]() mutable { old.reset(); }));
    } catch (const std::system_error &) {
        // No thread: the device closed here, with the task that would have
        // closed it, at the cost of the wait.
    }
}

void TrackPlayer::waitForClosedDevices()
{
    for (std::future<void> &closing : m_closing)
        closing.wait();
    m_closing.clear();
}

} // namespace audio
