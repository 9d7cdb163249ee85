#pragma once

// The audio library: playing sound for the programs, and nothing of windows.
//  - TrackPlayer (this header): the player's tracks, in every format the
//    loader opens, through the MediaPlayer interface.
//  - OneShotSoundPlayer: the pop-ups' chimes through the SoundPlayer interface.
//  - AudioFileLoader and the sources: a file opened as decoded PCM of exact length.
//  - AudioSystem and OutputDevice: SDL's audio, started once by main(), and one
//    output device per player.
// Failures come back as Result (platform/Result.h) or, for the players, as
// their interfaces state.

#include "MediaPlayer.h"
#include "OutputDevice.h"
#include "PendingDevice.h"
#include "PlaybackLevel.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QSet>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace audio {

class AudioSystem;
class PcmSource;

// The media component: tracks decoded by libmpg123 (MP3) or FFmpeg (every
// other format), played through one output device that stays open between
// tracks of the same rate and channel count; a device a change replaces is
// closed on a worker. Devices open on a worker too: the window's thread
// waits for one at most PendingDevice::Patience, and a server that has not
// answered by then counts as no output until its open ends.
//
// Each assignment loads its file on a thread of its own, detached: a load
// stuck in a read is left behind, and its result dropped, when the next
// assignment comes. Decoding and output run on SDL's audio thread, where
// every frame passes the track's PlaybackLevel: the gain setLoudness() gives
// it, the ramp of a stop, a fade-out. The position counts the frames handed
// to the device. The system must outlive the player.
class TrackPlayer final : public MediaPlayer
{
    Q_OBJECT
  public:
    // When the output device for the usual format (44.1 kHz stereo) opens:
    // in the constructor, or when openDeviceInBackground() asks for it (a
    // track assigned before that opens the device itself).
    enum class DeviceOpening { Now, OnRequest };

    // Opens a file on a load's worker; AudioFileLoader::load unless a test
    // gives its own.
    using Loader = std::function<Result<std::unique_ptr<PcmSource>>(const QString &)>;

    explicit TrackPlayer(AudioSystem &system, DeviceOpening opening = DeviceOpening::Now,
                         Loader loader = {});
    ~TrackPlayer() override;
    TrackPlayer(const TrackPlayer &) = delete;
    TrackPlayer &operator=(const TrackPlayer &) = delete;

    void setFileName(const QString &fileName) override;
    [[nodiscard]] QString fileName() const override;
    [[nodiscard]] double duration() const override;
    [[nodiscard]] double currentPosition() const override;
    void stop() override;
    void fadeOut(double seconds) override;
    [[nodiscard]] bool hasFadedOut() const override;
    void expectTracks(const QStringList &fileNames) override;

    // Linear gain for the tracks assigned from now on: a function of the
    // file's path that answers at once (nullopt: the track's own level).
    using GainLookup = std::function<std::optional<double>(const QString &fileName)>;
    using TracksExpected = std::function<void(const QStringList &fileNames)>;
    void setLoudness(GainLookup gainFor, TracksExpected expected);
    [[nodiscard]] bool isLoading() const override;
    void setStreamTitle(const QString &title) override;

    // Starts opening the device for the usual format on a worker thread (with
    // SDL's audio, if it has not started), unless a device is open or opening.
    // A call that needs the device before the worker is done waits for it, as
    // PendingDevice waits.
    void openDeviceInBackground();

    // Whether frames of the loaded track are being handed to the device.
    [[nodiscard]] bool isPlaying() const;
    // Frames of the loaded track handed to the device so far, and its length
    // as duration() gives it.
    [[nodiscard]] int64_t playedFrames() const;
    [[nodiscard]] int64_t frameCount() const;

    // How long a track that was playing when its device was lost waits for a
    // new one; how often a lost device is looked for while a track plays.
    static constexpr int ResumeWindowMs = 5000;
    static constexpr int WatchIntervalMs = 100;

  private:
    // What a load hands back; shared, as a future's result must be copyable.
    using LoadResult = std::shared_ptr<Result<std::unique_ptr<PcmSource>>>;

    void startLoad(const QString &fileName);
    // Takes over the source of the finished load m_load.
    void finishLoad();
    // Swaps in source (null: nothing loaded) at its start.
    void install(std::unique_ptr<PcmSource> source);
    static void audioCallback(void *userData, uint8_t *stream, int length);
    void fill(uint8_t *stream, int length);
    // Opens a device unless it would stay silent; false when none opened.
    bool startPlayback(OutputDevice::Fallback fallback = OutputDevice::Fallback::Allowed);
    void halt();
    // A stream name of nullopt keeps the open device whatever its name.
    [[nodiscard]] Result<void>
    prepareDevice(int sampleRate, int channels,
                  const std::optional<QString> &streamName = std::nullopt,
                  OutputDevice::Fallback fallback = OutputDevice::Fallback::Allowed);
    // A device of this format through m_pending: the one it was opening where
    // it fits, else a new one.
    [[nodiscard]] Result<OutputDevice> openDevice(int sampleRate, int channels,
                                                  const std::optional<QString> &streamName,
                                                  OutputDevice::Fallback fallback);
    // The name of the loaded track's stream, where the driver shows names.
    [[nodiscard]] QString streamName() const;
    // Ends the track where it is, as a file cut short ends.
    void endHere();
    void watchDevice();
    void retryLostDevice();
    // Takes the frames that follow what was heard, for the stop's ramp.
    void takeStopTail();
    // Pauses the device once the stop's ramp has played.
    void pauseWhenQuiet();
    // Hands the open device, halted, to a worker that closes it.
    void closeDeviceInBackground();
    // Waits until every device handed to a worker is closed.
    void waitForClosedDevices();

    AudioSystem &m_system;
    const Loader m_loader;
    QString m_fileName;
    // Touched by the audio callback only while m_playing; replaced under the
    // device lock.
    std::unique_ptr<PcmSource> m_source;
    int m_sampleRate = 0;
    // The stated length until the callback meets the end of the data; then
    // what played, and m_ended is set.
    std::atomic<int64_t> m_frameCount{0};
    std::atomic<int64_t> m_playedFrames{0};
    std::atomic<bool> m_ended{false};
    std::atomic<bool> m_playing{false};
    // The load of the last assignment while it runs; deleting it abandons it.
    std::unique_ptr<QFutureWatcher<LoadResult>> m_load;
    // Cleared by stop(): the track arrives halted.
    bool m_startWhenLoaded = false;
    // Read by the callback; written only while no device runs it (none is
    // open, or every open one is paused).
    int m_outputChannels = 0;
    // The level of the loaded track, touched under the device lock.
    PlaybackLevel m_level;
    // After a stop, the next few milliseconds of the track that stopped, with
    // the ramp that takes them to silence: played before anything else.
    // Written under the device lock; the buffer is allocated once.
    std::vector<int16_t> m_tail;
    PlaybackLevel m_tailLevel;
    int64_t m_tailFrames = 0;
    int64_t m_tailPlayed = 0;
    std::atomic<bool> m_fadedOut{false};
    GainLookup m_gainFor;
    TracksExpected m_tracksExpected;
    QTimer m_pauseTimer;
    std::optional<OutputDevice> m_device;
    QTimer m_startTimer;
    QString m_streamTitle;
    // Files that failed to load and were warned about, each once.
    QSet<QString> m_refused;
    // While a track plays: looks for a lost device. After a loss: retries to
    // open a new one, with growing delays, for at most ResumeWindowMs.
    QTimer m_watchTimer;
    QTimer m_retryTimer;
    QElapsedTimer m_lostFor;
    int m_retryDelayMs = 0;
    // The open in progress, or one that has not answered in time.
    std::unique_ptr<PendingDevice> m_pending;
    // Devices a format change replaced, each being closed by its own worker.
    std::vector<std::future<void>> m_closing;
};

} // namespace audio
