#include "WmaSuperframes.h"

#include <algorithm>
#include <bit>

namespace audio {

namespace {

// The decoder refuses an offset field wider than this (its MIN_CACHE_BITS).
constexpr int WidestOffsetField = 25;
// The decoder keeps up to 32,768 bytes of a superframe for the reservoir;
// blocks of up to half that never overflow it.
constexpr int64_t LargestBlock = 32768 / 2;
// Where the decoder gives up on a stream (ff_wma_init).
constexpr int HighestRate = 50000;
// The bits before the offset field: the index and the frame count.
constexpr int CountBits = 8;

// The width of the offset field, as the decoder derives it, in its float
// arithmetic.
int offsetBits(const WmaSuperframes::Format &format, int frameLength)
{
    const float bitsPerSample = float(format.bitRate) / float(format.channels * format.sampleRate);
    const auto bytes = static_cast<int>(bitsPerSample * float(frameLength) / 8.0 + 0.5);
    // av_log2(bytes) + 2 bits of bytes, 3 of bits.
    return int(std::bit_width(unsigned(std::max(bytes, 1)))) - 1 + 2 + 3;
}

// The bits from CountBits on, width of them.
int64_t offsetField(const AsfPayloads::Block &block, int width)
{
    uint64_t value = 0;
    for (const uint8_t byte : block.head)
        value = (value << 8) | byte;
    return int64_t((value << CountBits) >> (64 - width));
}

} // namespace

int WmaSuperframes::frameLength(int version, int sampleRate)
{
    if (sampleRate <= 16000)
        return 512;
    if (sampleRate <= 22050 || (sampleRate <= 32000 && version == 1))
        return 1024;
    return 2048;
}

Result<int64_t> WmaSuperframes::decodedFrames(std::span<const AsfPayloads::Block> blocks,
                                              const Format &format)
{
    if ((format.version != 1 && format.version != 2) || format.sampleRate <= 0 ||
        format.sampleRate > HighestRate || format.channels < 1 || format.channels > 2 ||
        format.bitRate <= 0 || format.blockBytes < AsfPayloads::HeadBytes ||
        format.blockBytes > LargestBlock)
        return Failure{QStringLiteral("a format the count does not cover")};
    const int64_t length = frameLength(format.version, format.sampleRate);
    const int width = offsetBits(format, int(length));
    if (width > WidestOffsetField)
        return Failure{QStringLiteral("a format the decoder refuses")};
    // Frames yielded before the block at hand, and where the first object
    // after the first block starts.
    int64_t yielded = 0;
    int64_t referenceTime = -1;
    int64_t referenceFrames = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const AsfPayloads::Block &block = blocks[i];
        const int frames = (block.head[0] & 0x0f) - (i == 0 ? 1 : 0);
        if (frames <= 0)
            return Failure{QStringLiteral("a superframe whose frames the decoder holds back")};
        if (offsetField(block, width) > format.blockBytes * 8 - CountBits - width)
            return Failure{QStringLiteral("a superframe's offset past its end")};
        if (i > 0 && block.objectTime >= 0) {
            if (referenceTime < 0) {
                referenceTime = block.objectTime;
                referenceFrames = yielded;
            } else {
                // Both sides in thousandths of a sample.
                const int64_t stated = (block.objectTime - referenceTime) * format.sampleRate;
                const int64_t counted = (yielded - referenceFrames) * length * 1000;
                if (4 * std::abs(stated - counted) > length * 1000)
                    return Failure{QStringLiteral("presentation times the counts contradict")};
            }
        }
        yielded += frames;
    }
    // One frame more at the end; two frames' samples dropped at the start.
    return std::max<int64_t>(yielded + 1 - 2, 0) * length;
}

} // namespace audio
