// Feeds arbitrary bytes to the audio loader as a file's content, written to a
// temporary file and loaded by path through the reader the player uses, then
// decodes what it accepts.
#include "AudioFileLoader.h"
#include "FuzzInputFile.h"
#include "PcmSource.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Enough to run the decoder through many frames without slowing the search.
constexpr int64_t MaxDecodedFrames = 1 << 18;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzzinput::writeInput(data, size);

    Result<std::unique_ptr<audio::PcmSource>> loaded = audio::AudioFileLoader::load(input);
    if (!loaded) {
        if (loaded.error().isEmpty())
            __builtin_trap();
        return 0;
    }
    const std::unique_ptr<audio::PcmSource> source = std::move(loaded).value();
    if (source->frameCount() <= 0 || source->sampleRate() <= 0 || source->channels() < 1 ||
        source->channels() > 8)
        __builtin_trap();
    std::vector<int16_t> buffer(4096 * static_cast<size_t>(source->channels()));
    int64_t decoded = 0;
    while (decoded < MaxDecodedFrames) {
        const int64_t got = source->read(buffer.data(), 4096);
        if (got <= 0)
            break;
        if (got > 4096)
            __builtin_trap();
        decoded += got;
    }
    return 0;
}
