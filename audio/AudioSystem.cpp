#include "AudioSystem.h"

#include "QuietAlsa.h"
#include "SdlLibrary.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace audio {

namespace {

// A second system would end the subsystem (or switch its driver) under the
// devices of the first.
std::atomic<bool> g_exists{false};

constexpr const char *kApplicationName = "Plovi";

// Read by PulseAudio's client library when SDL connects (to PulseAudio or to
// PipeWire's PulseAudio server): each variable is one property of every
// stream of the process. SDL's own role hint reaches only some of its back
// ends.
void setServerProperties(AudioSystem::Role role)
{
    constexpr int keepUsersValue = 0;
    setenv("PULSE_PROP_application.icon_name", "plovi", keepUsersValue);
    setenv("PULSE_PROP_media.role", role == AudioSystem::Role::Music ? "music" : "event",
           keepUsersValue);
    // The same for SDL's PipeWire back end, which takes its role from SDL.
    setenv("PIPEWIRE_PROPS", "{ application.icon-name = plovi }", keepUsersValue);
}

} // namespace

AudioSystem::AudioSystem(Role role) : m_role(role)
{
    if (g_exists.exchange(true))
        qFatal("audio::AudioSystem: a second instance while one exists");
    setServerProperties(role);
}

AudioSystem::~AudioSystem()
{
    // An open that has waited this long waits for a server that does not
    // answer: ending SDL's audio under it would pull its state away.
    if (m_mutex.try_lock_for(std::chrono::milliseconds(500))) {
        if (m_started)
            SdlLibrary::loaded().QuitSubSystem(SDL_INIT_AUDIO);
        m_mutex.unlock();
    }
    g_exists.store(false);
}

void AudioSystem::startOnce()
{
    if (m_startTried)
        return;
    m_startTried = true;
    const SdlLibrary *sdl = SdlLibrary::load(&m_startError);
    if (sdl == nullptr)
        return;
    silenceAlsaErrors();
    sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    sdl->SetHint(SDL_HINT_APP_NAME, kApplicationName);
    sdl->SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, kApplicationName);
    sdl->SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_ROLE, m_role == Role::Music ? "music" : "event");
    m_started = sdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!m_started)
        m_started = switchToDummyDriver();
}

bool AudioSystem::switchToDummyDriver()
{
    const SdlLibrary &sdl = SdlLibrary::loaded();
    const char *chosen = sdl.GetHint(SDL_HINT_AUDIODRIVER);
    if (chosen != nullptr && *chosen != '\0')
        return false;
    const char *current = m_started ? sdl.GetCurrentAudioDriver() : nullptr;
    if (current != nullptr && std::strcmp(current, "dummy") == 0)
        return false;
    if (m_started)
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
    // An empty SDL_AUDIODRIVER in the environment would outrank a normal hint.
    sdl.SetHintWithPriority(SDL_HINT_AUDIODRIVER, "dummy", SDL_HINT_OVERRIDE);
    m_started = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
    m_fellBack.store(m_started);
    m_fellBackAt.store(std::chrono::steady_clock::now().time_since_epoch().count());
    return m_started;
}

bool AudioSystem::realDriversDue()
{
    const std::chrono::steady_clock::time_point since{
        std::chrono::steady_clock::duration(m_fellBackAt.load())};
    return m_fellBack.load() && std::chrono::steady_clock::now() - since >= RetryInterval;
}

// Only while no device is open: the subsystem restarts with SDL's own choice
// of driver, and falls back again where none works yet. Rate-limited, as a
// probe of every driver takes tens of milliseconds.
void AudioSystem::retryRealDrivers()
{
    if (m_openDevices.load() != 0 || !realDriversDue())
        return;
    const SdlLibrary &sdl = SdlLibrary::loaded();
    sdl.QuitSubSystem(SDL_INIT_AUDIO);
    // A null value at the override priority hides the (empty) environment
    // variable too, so SDL tries its drivers in its own order.
    sdl.SetHintWithPriority(SDL_HINT_AUDIODRIVER, nullptr, SDL_HINT_OVERRIDE);
    m_fellBack.store(false);
    m_started = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!m_started)
        m_started = switchToDummyDriver();
}

// Only while no device is open. Some of SDL's back ends (PipeWire's) keep one
// connection to the server for every device, and open none once the server
// is gone until the subsystem restarts; others connect per device.
bool AudioSystem::restart()
{
    const SdlLibrary &sdl = SdlLibrary::loaded();
    if (m_started)
        sdl.QuitSubSystem(SDL_INIT_AUDIO);
    m_started = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
    return m_started;
}

Result<AudioSystem::Opened> AudioSystem::openDevice(int sampleRate, int channels, int bufferFrames,
                                                    Callback callback, void *userData,
                                                    const QString &streamName, bool mayFallBack)
{
    std::lock_guard lock(m_mutex);
    startOnce();
    if (m_started)
        retryRealDrivers();
    else if (m_startError.isEmpty() && m_openDevices == 0)
        m_started = restart(); // the chosen driver may work now
    if (!m_started)
        return Failure{QStringLiteral("no audio driver: %1")
                           .arg(m_startError.isEmpty()
                                    ? QString::fromUtf8(SdlLibrary::loaded().GetError())
                                    : m_startError)};
    const SdlLibrary &sdl = SdlLibrary::loaded();
    if (m_fellBack && !mayFallBack)
        return Failure{QStringLiteral("no audio device but the silent one")};
    // Read while the device opens; an empty name leaves SDL's default.
    const QByteArray name = streamName.toUtf8();
    sdl.SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, name.constData());
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = callback;
    wanted.userdata = userData;
    SDL_AudioSpec obtained{};
    SDL_AudioDeviceID device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0 && m_openDevices == 0 && !m_fellBack && restart())
        device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0 && mayFallBack && m_openDevices == 0 && switchToDummyDriver())
        device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0)
        return Failure{QStringLiteral("cannot open the audio device: %1")
                           .arg(QString::fromUtf8(sdl.GetError()))};
    ++m_openDevices;
    const char *driver = sdl.GetCurrentAudioDriver();
    return Opened{uint32_t{device}, QString::fromUtf8(driver != nullptr ? driver : "")};
}

// Closed first, then counted: no open sees the subsystem free of devices
// while one still closes.
void AudioSystem::closeDevice(uint32_t device)
{
    SdlLibrary::loaded().CloseAudioDevice(device);
    --m_openDevices;
}

QString AudioSystem::driverName()
{
    std::lock_guard lock(m_mutex);
    startOnce();
    const char *name = m_started ? SdlLibrary::loaded().GetCurrentAudioDriver() : nullptr;
    return name != nullptr ? QString::fromUtf8(name) : QString();
}

} // namespace audio
