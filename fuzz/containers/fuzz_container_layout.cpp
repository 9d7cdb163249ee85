// Feeds arbitrary bytes to ContainerLayout's readers of WAV, AIFF, ADTS, MP4,
// ASF, Matroska and Ogg structures and to the count of MP4 fragments'
// samples, through the reader the player uses, and checks what each promises
// about where the samples lie.
#include "BufferedFileReader.h"
#include "ContainerLayout.h"
#include "FuzzInputFile.h"
#include "IsoFragments.h"

#include <QString>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = fuzzinput::writeInput(data, size);
    Result<std::unique_ptr<audio::BufferedFileReader>> opened =
        audio::BufferedFileReader::open(input);
    if (!opened)
        return 0;
    audio::BufferedFileReader &reader = *opened.value();
    const int64_t length = reader.size();

    using audio::ContainerLayout;
    for (const auto &chunk :
         {ContainerLayout::riffWaveData(reader), ContainerLayout::aiffData(reader)}) {
        if (chunk.ok() &&
            (chunk->offset < 0 || chunk->bytes < 0 || chunk->offset + chunk->bytes > length))
            __builtin_trap();
        if (!chunk.ok() && chunk.error().isEmpty())
            __builtin_trap();
    }
    const Result<ContainerLayout::AdtsStream> adts = ContainerLayout::adtsStream(reader);
    if (adts.ok() && (adts->frames <= 0 || adts->frames % 1024 != 0 || adts->sampleRate <= 0 ||
                      adts->frames / 1024 > length / 7))
        __builtin_trap();
    (void)ContainerLayout::isoBoxesFit(reader);
    if (audio::IsoFragments::leastSampleBytes(reader) < 0)
        __builtin_trap();
    (void)ContainerLayout::asfObjectsFit(reader);
    (void)ContainerLayout::matroskaSegmentFits(reader);
    (void)ContainerLayout::oggEndsWithLastPage(reader);
    return 0;
}
