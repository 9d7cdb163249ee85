#include "OutputDevice.h"

#include "AudioSystem.h"

#include "SdlLibrary.h"

#include <utility>

namespace audio {

Result<OutputDevice> OutputDevice::open(AudioSystem &system, int sampleRate, int channels,
                                        int bufferFrames, Callback callback, void *userData,
                                        const QString &streamName, Fallback fallback)
{
    Result<AudioSystem::Opened> opened =
        system.openDevice(sampleRate, channels, bufferFrames, callback, userData, streamName,
                          fallback == Fallback::Allowed);
    if (!opened)
        return Failure{opened.error()};
    return OutputDevice(system, opened.value().id, sampleRate, channels, streamName,
                        std::move(opened.value().driver));
}

OutputDevice::OutputDevice(AudioSystem &system, uint32_t id, int sampleRate, int channels,
                           QString streamName, QString driver)
    : m_system(&system), m_id(id), m_sampleRate(sampleRate), m_channels(channels),
      m_streamName(std::move(streamName)), m_driver(std::move(driver))
{}

OutputDevice::~OutputDevice()
{
    close();
}

OutputDevice::OutputDevice(OutputDevice &&other) noexcept
    : m_system(other.m_system), m_id(std::exchange(other.m_id, 0)),
      m_sampleRate(other.m_sampleRate), m_channels(other.m_channels),
      m_streamName(std::move(other.m_streamName)), m_driver(std::move(other.m_driver))
{}

OutputDevice &OutputDevice::operator=(OutputDevice &&other) noexcept
{
    if (this != &other) {
        close();
        m_system = other.m_system;
        m_id = std::exchange(other.m_id, 0);
        m_sampleRate = other.m_sampleRate;
        m_channels = other.m_channels;
        m_streamName = std::move(other.m_streamName);
        m_driver = std::move(other.m_driver);
    }
    return *this;
}

void OutputDevice::close()
{
    if (m_id == 0)
        return;
    m_system->closeDevice(m_id);
    m_id = 0;
}

bool OutputDevice::isSilent() const
{
    return m_driver == QLatin1String("dummy") || m_driver == QLatin1String("disk");
}

bool OutputDevice::isLost() const
{
    // SDL reports a device it disconnected as stopped; an open one is
    // otherwise playing or paused.
    return m_id != 0 && SdlLibrary::loaded().GetAudioDeviceStatus(m_id) == SDL_AUDIO_STOPPED;
}

void OutputDevice::pause()
{
    SdlLibrary::loaded().PauseAudioDevice(m_id, 1);
}

void OutputDevice::resume()
{
    SdlLibrary::loaded().PauseAudioDevice(m_id, 0);
}

void OutputDevice::lock()
{
    SdlLibrary::loaded().LockAudioDevice(m_id);
}

void OutputDevice::unlock()
{
    SdlLibrary::loaded().UnlockAudioDevice(m_id);
}

Result<void> OutputDevice::queue(const void *data, uint32_t bytes)
{
    if (SdlLibrary::loaded().QueueAudio(m_id, data, bytes) != 0)
        return Failure{QStringLiteral("cannot queue audio: %1")
                           .arg(QString::fromUtf8(SdlLibrary::loaded().GetError()))};
    return {};
}

void OutputDevice::clearQueue()
{
    SdlLibrary::loaded().ClearQueuedAudio(m_id);
}

uint32_t OutputDevice::queuedBytes() const
{
    return SdlLibrary::loaded().GetQueuedAudioSize(m_id);
}

} // namespace audio
