#include "TrackLoudness.h"

#include "AudioFileLoader.h"
#include "PcmSource.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace audio {

namespace {

struct StateDeleter
{
    void operator()(ebur128_state *state) const { ebur128_destroy(&state); }
};

} // namespace

Result<TrackLoudness> TrackLoudness::measure(const QString &path)
{
    Result<std::unique_ptr<PcmSource>> loaded = AudioFileLoader::load(path);
    if (!loaded)
        return Failure{loaded.error()};
    const std::unique_ptr<PcmSource> source = std::move(loaded).value();
    const int channels = source->channels();
    const std::unique_ptr<ebur128_state, StateDeleter> state(ebur128_init(
        static_cast<unsigned>(channels), static_cast<unsigned long>(source->sampleRate()),
        EBUR128_MODE_I | EBUR128_MODE_TRUE_PEAK));
    if (state == nullptr)
        return Failure{QStringLiteral("libebur128 cannot measure this format")};

    constexpr int64_t Chunk = 4096;
    std::vector<int16_t> frames(static_cast<std::size_t>(Chunk * channels));
    for (;;) {
        const int64_t got = source->read(frames.data(), Chunk);
        if (got < 0)
            return Failure{QStringLiteral("the track cannot be decoded to its end")};
        if (got == 0)
            break;
        if (ebur128_add_frames_short(state.get(), frames.data(), static_cast<std::size_t>(got)) !=
            EBUR128_SUCCESS)
            return Failure{QStringLiteral("libebur128 failed")};
    }

    TrackLoudness loudness;
    if (ebur128_loudness_global(state.get(), &loudness.integratedLufs) != EBUR128_SUCCESS ||
        !std::isfinite(loudness.integratedLufs))
        return Failure{
            QStringLiteral("the track has no integrated loudness (silent or too short)")};
    double peak = 0.0;
    for (int c = 0; c < channels; ++c) {
        double channelPeak = 0.0;
        if (ebur128_true_peak(state.get(), static_cast<unsigned>(c), &channelPeak) ==
            EBUR128_SUCCESS)
            peak = std::max(peak, channelPeak);
    }
    loudness.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return loudness;
}

double TrackLoudness::gainDbFor(double targetLufs, double ceilingDbtp) const
{
    const double wanted = targetLufs - integratedLufs;
    return std::isfinite(truePeakDbtp) ? std::min(wanted, ceilingDbtp - truePeakDbtp) : wanted;
}

} // namespace audio
