#pragma once

#include "MediaPlayer.h"

#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

namespace audio {

class PcmSource;

// The media component on libmpg123 (MP3) and SDL's WAV loader, played through
// one SDL output device that stays open between tracks.
//
// Decoding and output run on SDL's audio thread, so playback goes on while the
// UI thread sits in a modal dialog or a window move. Output starts from the
// first pass of the Qt event loop after setFileName(), so a file assigned and
// stopped within one handler never reaches the device. The position counts
// the frames handed to the device; when the data runs out early (a file that
// shrank or changed while it played, a damaged stream), the track ends there
// with the position on the duration. Must be used from the thread that owns
// the Qt event loop.
class TrackPlayer final : public MediaPlayer
{
  public:
    TrackPlayer();
    ~TrackPlayer() override;
    TrackPlayer(const TrackPlayer &) = delete;
    TrackPlayer &operator=(const TrackPlayer &) = delete;

    void setFileName(const QString &fileName) override;
    [[nodiscard]] QString fileName() const override;
    [[nodiscard]] double duration() const override;
    [[nodiscard]] double currentPosition() const override;
    void stop() override;

    // Whether frames of the loaded track are being handed to the device.
    [[nodiscard]] bool isPlaying() const;
    // Frames of the loaded track handed to the device so far, and its length.
    [[nodiscard]] int64_t playedFrames() const;
    [[nodiscard]] int64_t frameCount() const;

  private:
    static void audioCallback(void *userData, uint8_t *stream, int length);
    void fill(uint8_t *stream, int length);
    void startPlayback();
    void halt();
    [[nodiscard]] bool prepareDevice(int sampleRate, int channels, QString *error);
    void closeDevice();

    QString m_fileName;
    // Touched by the audio callback only while m_playing; replaced under the
    // device lock.
    std::unique_ptr<PcmSource> m_source;
    int m_sampleRate = 0;
    int64_t m_frameCount = 0;
    std::atomic<int64_t> m_playedFrames{0};
    std::atomic<bool> m_playing{false};
    uint32_t m_device = 0;
    int m_deviceRate = 0;
    int m_deviceChannels = 0;
    QTimer m_startTimer;
};

} // namespace audio
