#include "PlaybackLevel.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace audio {

namespace {

int16_t scaled(int16_t sample, double factor)
{
    const double value = std::nearbyint(sample * factor);
    return static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
}

} // namespace

PlaybackLevel::PlaybackLevel(int sampleRate, int channels)
    : m_sampleRate(std::max(sampleRate, 1)), m_channels(std::max(channels, 1))
{}

void PlaybackLevel::reset(int sampleRate, int channels)
{
    *this = PlaybackLevel(sampleRate, channels);
}

void PlaybackLevel::setGain(double factor)
{
    m_gain = std::isfinite(factor) && factor >= 0.0 ? factor : 1.0;
}

void PlaybackLevel::startRamp(double seconds)
{
    if (m_silent)
        return;
    const auto frames =
        std::max<int64_t>(1, static_cast<int64_t>(std::llround(seconds * m_sampleRate)));
    if (m_rampLeft > 0 && m_rampLeft <= frames)
        return;
    m_rampLeft = frames;
    m_step = m_envelope / static_cast<double>(frames);
}

int64_t PlaybackLevel::apply(int16_t *samples, int64_t frames)
{
    if (m_silent) {
        std::memset(samples, 0, static_cast<size_t>(frames * m_channels) * sizeof(int16_t));
        return 0;
    }
    if (m_rampLeft == 0) {
        if (m_gain != 1.0) {
            const int64_t count = frames * m_channels;
            for (int64_t k = 0; k < count; ++k)
                samples[k] = scaled(samples[k], m_gain);
        }
        return frames;
    }
    const int64_t ramped = std::min(frames, m_rampLeft);
    for (int64_t f = 0; f < ramped; ++f) {
        // The level of a frame is the envelope after its step, so the ramp's
        // last frame is at 0 and the first one already below the level before.
        m_envelope = std::max(0.0, m_envelope - m_step);
        const double factor = m_gain * m_envelope;
        int16_t *frame = samples + f * m_channels;
        for (int c = 0; c < m_channels; ++c)
            frame[c] = scaled(frame[c], factor);
    }
    m_rampLeft -= ramped;
    if (m_rampLeft > 0) {
        return ramped;
    }
    m_envelope = 0.0;
    m_silent = true;
    std::memset(samples + ramped * m_channels, 0,
                static_cast<size_t>((frames - ramped) * m_channels) * sizeof(int16_t));
    return ramped;
}

} // namespace audio
