// Feeds arbitrary bytes to ContainerLayout's readers of WAV, AIFF, ADTS, MP4,
// ASF, Matroska, Ogg and WavPack structures, to the count of MP4 fragments'
// samples, and to the walks over ASF data packets (and their blocks, counted
// as WMA superframes) and Matroska blocks, through the reader the player
// uses, and checks what each promises about where the samples lie.
#include "AsfPayloads.h"
#include "BufferedFileReader.h"
#include "ContainerLayout.h"
#include "FuzzInputFile.h"
#include "IsoFragments.h"
#include "MatroskaBlocks.h"
#include "WmaSuperframes.h"

#include <QString>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

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
    (void)ContainerLayout::isoFragmented(reader);
    if (audio::IsoFragments::leastSampleBytes(reader) < 0)
        __builtin_trap();
    (void)ContainerLayout::asfObjectsFit(reader);
    (void)ContainerLayout::matroskaSegmentFits(reader);
    (void)ContainerLayout::oggEndsWithLastPage(reader);
    // A block at the start of the file or after it, one whose header fits.
    for (const int64_t index : {int64_t(0), int64_t(1) << 20, INT64_MAX}) {
        const Result<int64_t> block = ContainerLayout::wavPackFrameAt(reader, index);
        if (block.ok() && (block.value() < 0 || block.value() + 32 > length))
            __builtin_trap();
        // From the end: a block header, whose block fits.
        for (const int64_t total : {int64_t(1001), int64_t(1) << 20, INT64_MAX}) {
            const Result<int64_t> last = ContainerLayout::wavPackFrameFromEnd(reader, index, total);
            if (!last.ok())
                continue;
            uint8_t header[8];
            if (last.value() < 0 || last.value() + 32 > length ||
                reader.read(last.value(), header, sizeof header) != 8 ||
                std::memcmp(header, "wvpk", 4) != 0 ||
                last.value() + 8 +
                        int64_t(header[4] | header[5] << 8 | header[6] << 16 |
                                uint32_t(header[7]) << 24) >
                    length)
                __builtin_trap();
        }
    }
    for (const char *codec : {"A_VORBIS", "A_OPUS"}) {
        (void)audio::MatroskaBlocks::walk(
            reader, codec, [length](const audio::MatroskaBlocks::Frame &frame) -> Result<void> {
                if (frame.offset < 0 || frame.bytes < 0 || frame.offset + frame.bytes > length ||
                    frame.headBytes < 0 || frame.headBytes > frame.bytes)
                    __builtin_trap();
                return {};
            });
    }
    // The tail: in the file, in order, as many bytes as asked for or all.
    for (const int stream : {1, 2})
        for (const int64_t tailBytes : {int64_t(0), int64_t(1), int64_t(743)}) {
            const Result<audio::AsfPayloads::Stream> walked =
                audio::AsfPayloads::walk(reader, stream, tailBytes);
            if (!walked.ok()) {
                if (walked.error().isEmpty())
                    __builtin_trap();
                continue;
            }
            if (walked->bytes < 0 || walked->bytes > length)
                __builtin_trap();
            int64_t held = 0;
            int64_t end = 0;
            for (const audio::AsfPayloads::Range &range : walked->tail) {
                if (range.bytes <= 0 || range.offset < end || range.offset + range.bytes > length)
                    __builtin_trap();
                end = range.offset + range.bytes;
                held += range.bytes;
            }
            if (held != std::min(tailBytes, walked->bytes))
                __builtin_trap();
        }
    // Blocks: as many as the stream's bytes make; counted frames never
    // negative.
    for (const int64_t blockBytes : {int64_t(8), int64_t(61)}) {
        const Result<audio::AsfPayloads::Stream> walked =
            audio::AsfPayloads::walkBlocks(reader, 1, 0, blockBytes);
        if (!walked.ok())
            continue;
        if (int64_t(walked->blocks.size()) * blockBytes != walked->bytes)
            __builtin_trap();
        const Result<int64_t> frames =
            audio::WmaSuperframes::decodedFrames(walked->blocks, {2, 44100, 2, 128000, blockBytes});
        if (frames.ok() && frames.value() < 0)
            __builtin_trap();
    }
    return 0;
}
