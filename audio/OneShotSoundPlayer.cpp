#include "OneShotSoundPlayer.h"

#include "BufferedFileReader.h"
#include "WavSource.h"

#include <QFileInfo>

#include <algorithm>
#include <chrono>

namespace audio {

namespace {

// Frames per device request; closing the device waits about two of them.
constexpr int BufferFrames = 512;
constexpr auto MinimumWait = std::chrono::milliseconds(10);

} // namespace

OneShotSoundPlayer::OneShotSoundPlayer(AudioSystem &system)
    : m_system(system), m_worker([this] { run(); })
{}

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
    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    if (!file || !WavSource::looksLikeWav(*file.value()))
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_pending = std::move(file).value();
        m_pendingName = QFileInfo(path).completeBaseName();
    }
    m_wake.notify_one();
    return true;
}

std::optional<OneShotSoundPlayer::Sound> OneShotSoundPlayer::decode(BufferedFileReader &file)
{
    const Result<std::unique_ptr<WavSource>> opened = WavSource::open(file);
    if (!opened)
        return std::nullopt;
    WavSource &wav = *opened.value();
    Sound sound;
    sound.sampleRate = wav.sampleRate();
    sound.channels = wav.channels();
    sound.samples.resize(static_cast<std::size_t>(wav.frameCount() * wav.channels()));
    if (wav.read(sound.samples.data(), wav.frameCount()) != wav.frameCount())
        return std::nullopt;
    return sound;
}

bool OneShotSoundPlayer::isBusy() const
{
    std::lock_guard lock(m_mutex);
    return m_pending != nullptr || m_active;
}

void OneShotSoundPlayer::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        if (m_pending) {
            const std::unique_ptr<BufferedFileReader> file = std::move(m_pending);
            const QString name = std::move(m_pendingName);
            m_active = true;
            lock.unlock();
            if (std::optional<Sound> sound = decode(*file)) {
                sound->name = name;
                play(*sound);
            }
            lock.lock();
            m_active = m_device.has_value();
            continue;
        }
        if (!m_device) {
            m_wake.wait(lock, [this] { return m_quit || m_pending != nullptr; });
            continue;
        }
        const uint32_t queued = m_device->queuedBytes();
        // A lost device would keep its queue for ever.
        if (queued == 0 || m_device->isLost()) {
            lock.unlock();
            m_device.reset();
            lock.lock();
            m_active = false;
            continue;
        }
        const auto bytesPerSecond =
            static_cast<int64_t>(m_device->sampleRate()) * m_device->channels() * 2;
        const auto left = std::chrono::milliseconds(queued * int64_t(1000) / bytesPerSecond);
        m_wake.wait_for(lock, std::max<std::chrono::milliseconds>(left, MinimumWait),
                        [this] { return m_quit || m_pending != nullptr; });
    }
    lock.unlock();
    m_device.reset();
}

// Worker thread only.
void OneShotSoundPlayer::play(const Sound &sound)
{
    if (m_device &&
        (sound.sampleRate != m_device->sampleRate() || sound.channels != m_device->channels()))
        m_device.reset();
    if (!m_device) {
        Result<OutputDevice> opened = OutputDevice::open(
            m_system, sound.sampleRate, sound.channels, BufferFrames, nullptr, nullptr, sound.name);
        if (!opened)
            return;
        m_device.emplace(std::move(opened).value());
    }
    m_device->clearQueue();
    if (!m_device->queue(sound.samples.data(),
                         static_cast<uint32_t>(sound.samples.size() * sizeof(int16_t)))) {
        m_device.reset();
        return;
    }
    m_device->resume();
}

} // namespace audio
