#pragma once

#include "MediaPlayer.h"

#include <QString>
#include <QStringList>
#include <QTimer>

// A media player for the player's tests: records every call and reports the
// duration and position the test sets. Assigning a file name restarts the
// position at 0, as the real component does; names listed as unloadable read
// 0 for both figures, and so does the empty name. As with the real one, each
// load ends from the event loop, on its next turn, or where the test holds
// loads, when it lets them end; until then both figures read 0.
class FakeMediaPlayer final : public audio::MediaPlayer
{
  public:
    void setFileName(const QString &fileName) override
    {
        ++m_setFileNameCalls;
        m_assigned.append(fileName);
        m_calls.append(QStringLiteral("setFileName"));
        const bool sameLoad = m_loading && fileName == m_fileName;
        m_fileName = fileName;
        m_loaded = false;
        m_position = 0.0;
        m_playing = false;
        m_fading = false;
        m_fadedOut = false;
        m_startWhenLoaded = true;
        if (sameLoad) {
            return;
        }
        m_loading = true;
        ++m_load;
        if (!m_holdLoads) {
            QTimer::singleShot(0, this, [this, load = m_load] {
                if (load == m_load) {
                    endLoad();
                }
            });
        }
    }
    [[nodiscard]] QString fileName() const override
    {
        ++m_fileNameReads;
        return m_fileName;
    }
    [[nodiscard]] double duration() const override
    {
        ++m_durationReads;
        return m_loaded ? m_duration : 0.0;
    }
    [[nodiscard]] double currentPosition() const override
    {
        ++m_positionReads;
        return m_loaded ? m_position : 0.0;
    }
    void stop() override
    {
        ++m_stopCalls;
        m_calls.append(QStringLiteral("stop"));
        m_playing = false;
        m_fading = false;
        m_startWhenLoaded = false;
    }
    void fadeOut(double seconds) override
    {
        m_calls.append(QStringLiteral("fadeOut"));
        m_fadeSeconds = seconds;
        m_fading = m_playing;
    }
    [[nodiscard]] bool hasFadedOut() const override { return m_fadedOut; }
    void expectTracks(const QStringList &fileNames) override { m_expected = fileNames; }
    [[nodiscard]] bool isLoading() const override { return m_loading; }

    void setStreamTitle(const QString &title) override { m_streamTitle = title; }

    // Test controls.
    void setDuration(double seconds) { m_duration = seconds; }
    void setPosition(double seconds) { m_position = seconds; }
    // Plays to the end: the position becomes the duration exactly.
    void finish()
    {
        m_position = m_duration;
        m_playing = false;
    }
    // The fade asked for has reached silence: playback ends where it is.
    void endFade()
    {
        if (!m_fading)
            return;
        m_fading = false;
        m_playing = false;
        m_fadedOut = true;
    }
    void setUnloadable(const QStringList &fileNames) { m_unloadable = fileNames; }
    // Keeps every load running until endLoad().
    void holdLoads(bool hold) { m_holdLoads = hold; }
    // Ends the load of the last assignment, if it runs.
    void endLoad()
    {
        if (!m_loading) {
            return;
        }
        m_loading = false;
        m_loaded = !m_fileName.isEmpty() && !m_unloadable.contains(m_fileName);
        m_playing = m_loaded && m_startWhenLoaded;
        emit loadFinished();
    }

    // Observations.
    [[nodiscard]] int setFileNameCalls() const { return m_setFileNameCalls; }
    [[nodiscard]] int stopCalls() const { return m_stopCalls; }
    [[nodiscard]] int fileNameReads() const { return m_fileNameReads; }
    [[nodiscard]] int durationReads() const { return m_durationReads; }
    [[nodiscard]] int positionReads() const { return m_positionReads; }
    // Every assigned name, in order.
    [[nodiscard]] const QStringList &assigned() const { return m_assigned; }
    // "setFileName", "stop" and "fadeOut", in the order they were called.
    [[nodiscard]] const QStringList &calls() const { return m_calls; }
    // Assigned, loaded and not stopped since the assignment.
    [[nodiscard]] bool isPlaying() const { return m_playing; }
    [[nodiscard]] bool isLoaded() const { return m_loaded; }
    // The stream title last given.
    [[nodiscard]] const QString &streamTitle() const { return m_streamTitle; }
    [[nodiscard]] bool isFading() const { return m_fading; }
    [[nodiscard]] double fadeSeconds() const { return m_fadeSeconds; }
    [[nodiscard]] const QStringList &expected() const { return m_expected; }

  private:
    QString m_fileName;
    QString m_streamTitle;
    double m_duration = 0.0;
    double m_position = 0.0;
    bool m_loaded = false;
    bool m_playing = false;
    bool m_fading = false;
    bool m_fadedOut = false;
    double m_fadeSeconds = 0.0;
    QStringList m_expected;
    bool m_loading = false;
    bool m_startWhenLoaded = false;
    bool m_holdLoads = false;
    // Counts assignments that started a load: a load ends only if no newer one started.
    int m_load = 0;
    QStringList m_unloadable;
    QStringList m_assigned;
    QStringList m_calls;
    int m_setFileNameCalls = 0;
    int m_stopCalls = 0;
    mutable int m_fileNameReads = 0;
    mutable int m_durationReads = 0;
    mutable int m_positionReads = 0;
};
