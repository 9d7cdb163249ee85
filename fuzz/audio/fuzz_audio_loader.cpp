// Feeds arbitrary bytes to the audio loader as if they were a file's content,
// then decodes what it accepts.
#include "AudioFileLoader.h"
#include "MappedFile.h"
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
    QString error;
    std::unique_ptr<PcmSource> source = AudioFileLoader::load(
        MappedFile::fromBytes(std::vector<uint8_t>(data, data + size)), &error);
    if (source == nullptr) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
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
    if (decoded > source->frameCount())
        __builtin_trap();
    return 0;
}
