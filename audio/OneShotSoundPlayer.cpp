#include "OneShotSoundPlayer.h"

#include "AudioSystem.h"
#include "BufferedFileReader.h"
#include "WavSource.h"

#include <SDL.h>

#include <algorithm>
#include <chrono>

namespace audio {

namespace {

// Frames per device request; closing the device waits about two of them.
constexpr int BufferFrames = 512;
constexpr auto MinimumWait = std::chrono::milliseconds(10);

} // namespace

OneShotSoundPlayer::OneShotSoundPlayer() : m_worker([this] { run(); }) {}

OneShotSoundPlayer::~OneShotSoundPlayer()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_worker.join();
}

bool OneShotSoundPlayer::playSoundAsync(const QString &path)
{
    const Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    if (!file || !WavSource::looksLikeWav(*file.value()))
        return false;
    const Result<std::unique_ptr<WavSource>> opened = WavSource::open(*file.value());
    if (!opened)
        return false;
    WavSource &wav = *opened.value();
    Sound sound;
    sound.sampleRate = wav.sampleRate();
    sound.channels = wav.channels();
    sound.samples.resize(static_cast<std::size_t>(wav.frameCount() * wav.channels()));
    if (wav.read(sound.samples.data(), wav.frameCount()) != wav.frameCount())
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(sound);
    }
    m_wake.notify_one();
    return true;
}

bool OneShotSoundPlayer::isBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_pending.has_value() || m_active;
}

void OneShotSoundPlayer::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (m_pending) {
            const Sound sound = std::move(*m_pending);
            m_pending.reset();
            m_active = true;
            lock.unlock();
            play(sound);
            lock.lock();
            m_active = m_device != 0;
            continue;
        }
        if (m_device == 0) {
            m_wake.wait(lock, [this] { return m_quit || m_pending.has_value(); });
            continue;
        }
        const Uint32 queued = SDL_GetQueuedAudioSize(m_device);
        if (queued == 0) {
            lock.unlock();
            closeDevice();
            lock.lock();
            m_active = false;
            continue;
        }
        const auto bytesPerSecond = static_cast<int64_t>(m_deviceRate) * m_deviceChannels * 2;
        const auto left = std::chrono::milliseconds(queued * int64_t(1000) / bytesPerSecond);
        m_wake.wait_for(lock, std::max<std::chrono::milliseconds>(left, MinimumWait),
                        [this] { return m_quit || m_pending.has_value(); });
    }
    lock.unlock();
    closeDevice();
}

// Worker thread only.
void OneShotSoundPlayer::play(const Sound &sound)
{
    if (m_device != 0 && (sound.sampleRate != m_deviceRate || sound.channels != m_deviceChannels))
        closeDevice();
    if (m_device == 0) {
        QString error;
        m_device = AudioSystem::instance().openDevice(sound.sampleRate, sound.channels,
                                                      BufferFrames, nullptr, nullptr, &error);
        if (m_device == 0)
            return;
        m_deviceRate = sound.sampleRate;
        m_deviceChannels = sound.channels;
    }
    SDL_ClearQueuedAudio(m_device);
    if (SDL_QueueAudio(m_device, sound.samples.data(),
                       static_cast<Uint32>(sound.samples.size() * sizeof(int16_t))) != 0) {
        closeDevice();
        return;
    }
    SDL_PauseAudioDevice(m_device, 0);
}

// Worker thread only.
void OneShotSoundPlayer::closeDevice()
{
    if (m_device == 0)
        return;
    AudioSystem::instance().closeDevice(m_device);
    m_device = 0;
    m_deviceRate = 0;
    m_deviceChannels = 0;
}

} // namespace audio
