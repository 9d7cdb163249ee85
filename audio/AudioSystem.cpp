#include "AudioSystem.h"

#include "SdlLibrary.h"

#include <atomic>
#include <cstring>

namespace audio {

namespace {

// A second system would end the subsystem (or switch its driver) under the
// devices of the first.
std::atomic<bool> g_exists{false};

} // namespace

AudioSystem::AudioSystem()
{
    if (g_exists.exchange(true))
        qFatal("audio::AudioSystem: a second instance while one exists");
}

AudioSystem::~AudioSystem()
{
    if (m_started)
        SdlLibrary::loaded().QuitSubSystem(SDL_INIT_AUDIO);
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
    sdl->SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_started = sdl->InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!m_started)
        m_started = switchToDummyDriver();
}

// Only while no device is open, under m_mutex, with the library loaded.
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
    return m_started;
}

Result<uint32_t> AudioSystem::openDevice(int sampleRate, int channels, int bufferFrames,
                                         Callback callback, void *userData)
{
    std::lock_guard lock(m_mutex);
    startOnce();
    if (!m_started)
        return Failure{QStringLiteral("no audio driver: %1")
                           .arg(m_startError.isEmpty()
                                    ? QString::fromUtf8(SdlLibrary::loaded().GetError())
                                    : m_startError)};
    const SdlLibrary &sdl = SdlLibrary::loaded();
    SDL_AudioSpec wanted{};
    wanted.freq = sampleRate;
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = static_cast<Uint16>(bufferFrames);
    wanted.callback = callback;
    wanted.userdata = userData;
    SDL_AudioSpec obtained{};
    SDL_AudioDeviceID device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0 && m_openDevices == 0 && switchToDummyDriver())
        device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &obtained, 0);
    if (device == 0)
        return Failure{QStringLiteral("cannot open the audio device: %1")
                           .arg(QString::fromUtf8(sdl.GetError()))};
    ++m_openDevices;
    return uint32_t{device};
}

void AudioSystem::closeDevice(uint32_t device)
{
    SdlLibrary::loaded().CloseAudioDevice(device);
    std::lock_guard lock(m_mutex);
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
