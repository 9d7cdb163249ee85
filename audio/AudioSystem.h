#pragma once

#include "Result.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace audio {

// SDL's audio subsystem: the one place where SDL audio starts and ends. It
// starts with the first device opened, on the opening thread (so a program
// shows its window without waiting for the sound server or card), or with
// driverName(); the destructor ends it.
//
// Create it on the main thread, in main() (tests: in each test program),
// before any player or OutputDevice that uses it, and destroy it after all of
// them. At most one exists at a time.
//
// SDL's own signal handlers are disabled before it starts, so that SIGTERM and
// SIGINT keep ending the program. When no driver was chosen through
// SDL_AUDIODRIVER and the subsystem cannot start, or the first device cannot be
// opened (no sound server, no sound card), it switches to SDL's "dummy"
// driver, which consumes samples in real time without a sound card. Starting
// and that switch happen inside OutputDevice::open(), on the opening thread,
// under the system's lock and only while no device is open. A device opened
// once no other is open, at least RetryInterval after the switch, tries the
// real drivers again, so a sound server that appears later is used. A device
// that cannot be opened while no other is open restarts the subsystem first,
// as some back ends need after their server restarted.
//
// In a sound server's mixer, every stream of the process shows as "Plovi" with
// the icon `plovi` and the given role; each device carries its own stream name.
// ALSA's messages on standard error are silenced.
//
// An open can wait half a minute for a server that takes the connection and
// never answers (PendingDevice keeps that wait off the window's thread);
// while it waits, driverName() and other opens wait too, realDriversDue() and
// closing a device do not. A system destroyed while an open still waits
// leaves SDL's audio to end with the process.
class AudioSystem
{
  public:
    // What the streams of this process are, for the server's routing and its
    // per-role volumes: the player's tracks, or the pop-ups' chimes.
    enum class Role { Music, Event };

    static constexpr std::chrono::milliseconds RetryInterval{2000};

    // Sets the process environment the sound server's client library reads
    // when SDL starts (the icon and role), unless the user set those.
    explicit AudioSystem(Role role = Role::Music);
    ~AudioSystem();
    AudioSystem(const AudioSystem &) = delete;
    AudioSystem &operator=(const AudioSystem &) = delete;

    // The driver in use, starting the subsystem if no device has yet; empty
    // when none could start. Any thread; waits for an open in progress.
    [[nodiscard]] QString driverName();

    // Whether the next device would try the real drivers again, were none
    // open: on the fallback for RetryInterval at least. Any thread.
    [[nodiscard]] bool realDriversDue();

  private:
    friend class OutputDevice;

    // Opens a paused SDL device from any thread; see OutputDevice::open().
    using Callback = void (*)(void *userData, uint8_t *stream, int length);
    struct Opened
    {
        uint32_t id;
        QString driver;
    };
    [[nodiscard]] Result<Opened> openDevice(int sampleRate, int channels, int bufferFrames,
                                            Callback callback, void *userData,
                                            const QString &streamName, bool mayFallBack);
    void closeDevice(uint32_t device);
    // Under m_mutex, with the library loaded.
    [[nodiscard]] bool switchToDummyDriver();
    void retryRealDrivers();
    [[nodiscard]] bool restart();
    void startOnce();

    Role m_role;
    std::timed_mutex m_mutex;
    bool m_startTried = false;
    bool m_started = false;
    QString m_startError; // why SDL could not be loaded
    // On "dummy" because the real drivers failed, since m_fellBackAt; read
    // without the lock.
    std::atomic<bool> m_fellBack{false};
    std::atomic<std::chrono::steady_clock::rep> m_fellBackAt{0};

    std::atomic<int> m_openDevices{0};
};

} // namespace audio
