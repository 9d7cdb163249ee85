#include "OutputDevice.h"

#include "AudioSystem.h"

#include "SdlLibrary.h"

#include <utility>

namespace audio {

Result<OutputDevice> OutputDevice::open(AudioSystem &system, int sampleRate, int channels,
                                        int bufferFrames, Callback callback, void *userData)
{
    const Result<uint32_t> id =
        system.openDevice(sampleRate, channels, bufferFrames, callback, userData);
    if (!id)
        return Failure{id.error()};
    return OutputDevice(system, id.value(), sampleRate, channels);
}

OutputDevice::OutputDevice(AudioSystem &system, uint32_t id, int sampleRate, int channels)
    : m_system(&system), m_id(id), m_sampleRate(sampleRate), m_channels(channels)
{}

OutputDevice::~OutputDevice()
{
    close();
}

OutputDevice::OutputDevice(OutputDevice &&other) noexcept
    : m_system(other.m_system), m_id(std::exchange(other.m_id, 0)),
      m_sampleRate(other.m_sampleRate), m_channels(other.m_channels)
{}

OutputDevice &OutputDevice::operator=(OutputDevice &&other) noexcept
{
    if (this != &other) {
        close();
        m_system = other.m_system;
        m_id = std::exchange(other.m_id, 0);
        m_sampleRate = other.m_sampleRate;
        m_channels = other.m_channels;
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
