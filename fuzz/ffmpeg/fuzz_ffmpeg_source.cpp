// Feeds arbitrary bytes to FfmpegSource as a file's content, written to a
// temporary file and opened through the reader the player uses, then decodes
// what it accepts in reads of varying size, checking what read() promises.
#include "BufferedFileReader.h"
#include "FfmpegSource.h"
#include "FuzzInputFile.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

// Enough to run the decoder through many packets without slowing the search.
constexpr int64_t MaxDecodedFrames = 1 << 18;
constexpr int64_t LargestRead = 4096;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzzinput::writeInput(data, size);

    Result<std::unique_ptr<audio::BufferedFileReader>> reader =
        audio::BufferedFileReader::open(input);
    if (!reader)
        return 0;
    Result<std::unique_ptr<audio::FfmpegSource>> opened =
        audio::FfmpegSource::open(std::move(reader).value());
    if (!opened) {
        if (opened.error().isEmpty())
            __builtin_trap();
        return 0;
    }
    audio::FfmpegSource &source = *opened.value();
    if (source.frameCount() <= 0 || source.sampleRate() <= 0 ||
        (source.channels() != 1 && source.channels() != 2))
        __builtin_trap();
    std::vector<int16_t> buffer(static_cast<size_t>(LargestRead * source.channels()));
    int64_t decoded = 0;
    int64_t request = 1 + (size > 0 ? data[size / 2] : 0);
    while (decoded < MaxDecodedFrames) {
        const int64_t got = source.read(buffer.data(), request);
        if (got < -1 || got > request)
            __builtin_trap();
        if (got <= 0) {
            // The end stays the end.
            if (source.read(buffer.data(), request) > 0)
                __builtin_trap();
            break;
        }
        decoded += got;
        request = request * 7 % LargestRead + 1;
    }
    return 0;
}
