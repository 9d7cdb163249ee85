#include "WavSource.h"

#include "BufferedFileReader.h"

#include "SdlLibrary.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <span>

namespace audio {

namespace {

struct WavBufferDeleter
{
    void operator()(Uint8 *buffer) const { SdlLibrary::loaded().FreeWAV(buffer); }
};

QString sdlError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromUtf8(SdlLibrary::loaded().GetError()));
}

// Every chunk fits inside the file. SDL's loader allocates what a chunk
// header declares before reading it, so a damaged size could ask for
// gigabytes; such a file, like a cut-off one, is refused.
bool chunksFit(std::span<const uint8_t> data)
{
    std::size_t offset = 12;
    while (offset + 8 <= data.size()) {
        const uint8_t *p = data.data() + offset + 4;
        const std::size_t length = std::size_t(p[0]) | (std::size_t(p[1]) << 8) |
                                   (std::size_t(p[2]) << 16) | (std::size_t(p[3]) << 24);
        if (length > data.size() - offset - 8)
            return false;
        offset += 8 + length + (length & 1);
    }
    return true;
}

} // namespace

bool WavSource::looksLikeWav(BufferedFileReader &file)
{
    uint8_t head[12];
    return file.read(0, head, sizeof head) == sizeof head && std::memcmp(head, "RIFF", 4) == 0 &&
           std::memcmp(head + 8, "WAVE", 4) == 0;
}

Result<std::unique_ptr<WavSource>> WavSource::open(BufferedFileReader &file)
{
    if (file.size() > INT_MAX)
        return Failure{QStringLiteral("WAV file too large")};
    const Result<std::vector<uint8_t>> bytes = file.readAll();
    if (!bytes)
        return Failure{QStringLiteral("cannot read the WAV file: %1").arg(bytes.error())};
    const std::span<const uint8_t> data(bytes.value());
    if (!chunksFit(data))
        return Failure{
            QStringLiteral("truncated or damaged WAV: a chunk runs past the end of the file")};
    QString loadError;
    const SdlLibrary *sdl = SdlLibrary::load(&loadError);
    if (sdl == nullptr)
        return Failure{QStringLiteral("cannot decode WAV: %1").arg(loadError)};
    SDL_RWops *stream = sdl->RWFromConstMem(data.data(), static_cast<int>(data.size()));
    if (stream == nullptr)
        return Failure{sdlError("cannot read WAV")};
    SDL_AudioSpec spec{};
    Uint8 *rawBuffer = nullptr;
    Uint32 rawLength = 0;
    if (sdl->LoadWAV_RW(stream, 1, &spec, &rawBuffer, &rawLength) == nullptr)
        return Failure{sdlError("not a playable WAV")};
    std::unique_ptr<Uint8, WavBufferDeleter> buffer(rawBuffer);
    if (spec.channels < 1 || spec.channels > 8 || spec.freq <= 0)
        return Failure{QStringLiteral("unsupported WAV layout")};
    const int sourceFrameBytes = SDL_AUDIO_BITSIZE(spec.format) / 8 * spec.channels;
    const int64_t frames = sourceFrameBytes > 0 ? rawLength / sourceFrameBytes : 0;
    if (frames <= 0)
        return Failure{QStringLiteral("WAV holds no samples")};
    if (frames * sourceFrameBytes > INT_MAX / 16)
        return Failure{QStringLiteral("WAV file too large")};
    const auto sourceBytes = static_cast<int>(frames * sourceFrameBytes);

    SDL_AudioCVT convert{};
    if (sdl->BuildAudioCVT(&convert, spec.format, spec.channels, spec.freq, AUDIO_S16SYS,
                           spec.channels, spec.freq) < 0)
        return Failure{sdlError("unsupported WAV encoding")};
    std::unique_ptr<WavSource> source(new WavSource);
    const auto samples = static_cast<std::size_t>(frames) * spec.channels;
    if (convert.needed != 0) {
        std::vector<Uint8> work(static_cast<std::size_t>(sourceBytes) *
                                std::max(convert.len_mult, 1));
        std::memcpy(work.data(), buffer.get(), static_cast<std::size_t>(sourceBytes));
        convert.buf = work.data();
        convert.len = sourceBytes;
        if (sdl->ConvertAudio(&convert) != 0 ||
            static_cast<std::size_t>(convert.len_cvt) < samples * sizeof(int16_t))
            return Failure{sdlError("cannot convert WAV")};
        source->m_samples.resize(samples);
        std::memcpy(source->m_samples.data(), work.data(), samples * sizeof(int16_t));
    } else {
        source->m_samples.resize(samples);
        std::memcpy(source->m_samples.data(), buffer.get(), samples * sizeof(int16_t));
    }
    source->m_sampleRate = spec.freq;
    source->m_channels = spec.channels;
    source->m_frameCount = frames;
    return source;
}

int64_t WavSource::read(int16_t *out, int64_t maxFrames)
{
    const int64_t frames = std::min(maxFrames, m_frameCount - m_delivered);
    if (frames <= 0)
        return 0;
    std::memcpy(out, m_samples.data() + m_delivered * m_channels,
                static_cast<std::size_t>(frames * m_channels) * sizeof(int16_t));
    m_delivered += frames;
    return frames;
}

} // namespace audio
