#include "FfmpegTrackLength.h"

#include "AsfPayloads.h"
#include "BufferedFileReader.h"
#include "ContainerLayout.h"
#include "FfmpegDecoder.h"
#include "FfmpegDemuxer.h"
#include "MatroskaBlocks.h"
#include "WmaSuperframes.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libavutil/intreadwrite.h>
}

#include <algorithm>

#include <cstring>
#include <optional>
#include <span>
#include <vector>

namespace audio {

namespace {

using Measured = FfmpegTrackLength::Measured;
using Method = FfmpegTrackLength::Method;

// Each read FFmpeg makes while measuring: large enough for few calls on a
// scan, small enough that a seek wastes little.
constexpr int ScanIoBytes = 64 * 1024;
// How far before the stated end the check of a lossless file starts
// decoding, in fractions of a second: the last frame or two.
constexpr int64_t TailDivisor = 10;

bool isPcm(AVCodecID codec)
{
    return codec >= AV_CODEC_ID_FIRST_AUDIO && codec < AV_CODEC_ID_ADPCM_IMA_QT;
}

bool isLossless(AVCodecID codec)
{
    const AVCodecDescriptor *descriptor = avcodec_descriptor_get(codec);
    return descriptor != nullptr && (descriptor->props & AV_CODEC_PROP_LOSSLESS) != 0;
}

bool startsWith(BufferedFileReader &file, const char *magic, int64_t offset)
{
    char bytes[4];
    return file.read(offset, bytes, sizeof bytes) == sizeof bytes &&
           std::memcmp(bytes, magic, 4) == 0;
}

// The stream's duration as a frame count, where its time base counts frames.
std::optional<int64_t> statedFrames(const AVStream *stream, int rate)
{
    if (stream->duration == AV_NOPTS_VALUE || stream->duration <= 0 || stream->time_base.num != 1 ||
        stream->time_base.den != rate)
        return std::nullopt;
    return stream->duration;
}

// FLAC's total sample count, from the STREAMINFO block the codec's private
// data carries (as Matroska stores it, with or without the "fLaC" marker and
// block header before it), where it is stated at this rate.
std::optional<int64_t> flacStreamInfoFrames(const AVCodecParameters *codec, int rate)
{
    constexpr int StreamInfoBytes = 34;
    if (codec->codec_id != AV_CODEC_ID_FLAC || codec->extradata == nullptr)
        return std::nullopt;
    const uint8_t *info = codec->extradata;
    int bytes = codec->extradata_size;
    if (bytes >= 8 + StreamInfoBytes && std::memcmp(info, "fLaC", 4) == 0) {
        info += 8;
        bytes -= 8;
    }
    if (bytes < StreamInfoBytes || int(AV_RB24(info + 10) >> 4) != rate)
        return std::nullopt;
    const int64_t total = (int64_t(info[13] & 0x0f) << 32) | int64_t(AV_RB32(info + 14));
    if (total <= 0)
        return std::nullopt;
    return total;
}

// Frames at rate from a time in the stream's time base.
int64_t toFrames(int64_t time, AVRational timeBase, int rate)
{
    return av_rescale_q(time, timeBase, AVRational{1, rate});
}

Failure damaged(const QString &why)
{
    return Failure{QStringLiteral("damaged: %1").arg(why)};
}

Failure shorterThanAnnounced()
{
    return Failure{
        QStringLiteral("truncated: the file ends before the samples its header announces")};
}

using Packet = std::unique_ptr<AVPacket, void (*)(AVPacket *)>;

Packet newPacket()
{
    return Packet(av_packet_alloc(), [](AVPacket *p) { av_packet_free(&p); });
}

// Leaves the demuxer reading the one stream alone; false where it has no
// stream of that index.
bool readOnly(AVFormatContext *context, int streamIndex)
{
    if (streamIndex >= static_cast<int>(context->nb_streams))
        return false;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        if (static_cast<int>(i) != streamIndex)
            context->streams[i]->discard = AVDISCARD_ALL;
    }
    return true;
}

// Whether reading packets stopped at the end of the file, as result (the last
// readPacket()) and the I/O context say; otherwise why not.
Result<void> readToTheEnd(const FfmpegDemuxer &demuxer, int result)
{
    const int ioError = demuxer.context()->pb->error;
    if (result != AVERROR_EOF || (ioError < 0 && ioError != AVERROR_EOF))
        return damaged(FfmpegDemuxer::errorText(result != AVERROR_EOF ? result : ioError));
    return {};
}

// Decodes these packets (the empty ones skipped) and then the end of the
// stream: the frames the decoder yields, or why it failed.
Result<int64_t> decodedFrames(AVCodecContext *codec, std::span<const AVPacket *const> packets)
{
    std::unique_ptr<AVFrame, void (*)(AVFrame *)> frame(av_frame_alloc(),
                                                        [](AVFrame *f) { av_frame_free(&f); });
    if (frame == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int64_t decoded = 0;
    // Takes the frames the decoder holds; false once it fails.
    const auto receive = [&](int &result) {
        while ((result = avcodec_receive_frame(codec, frame.get())) >= 0)
            decoded += frame->nb_samples;
        return result == AVERROR(EAGAIN) || result == AVERROR_EOF;
    };
    int result = 0;
    for (const AVPacket *packet : packets) {
        if (packet->size > 0 &&
            ((result = avcodec_send_packet(codec, packet)) < 0 || !receive(result)))
            return damaged(FfmpegDemuxer::errorText(result));
    }
    if ((result = avcodec_send_packet(codec, nullptr)) < 0 || !receive(result) ||
        result != AVERROR_EOF)
        return damaged(FfmpegDemuxer::errorText(result));
    return decoded;
}

// Decodes the whole stream; the frames it yields.
Result<Measured> decodeScan(BufferedFileReader &file, const AVInputFormat *format)
{
    Result<std::unique_ptr<FfmpegDecoder>> scan = FfmpegDecoder::open(file, format, ScanIoBytes);
    if (!scan)
        return Failure{scan.error()};
    int64_t frames = 0;
    for (;;) {
        const FfmpegDecoder::Step step = scan.value()->next();
        if (step == FfmpegDecoder::Step::End)
            return Measured{frames, Method::DecodeScan};
        if (step == FfmpegDecoder::Step::Error)
            return damaged(scan.value()->errorText());
        frames += scan.value()->frame()->nb_samples;
    }
}

// Reads every packet of an AAC stream in MP4 without decoding it: each
// packet decodes to as many frames as the longest one spans (the last one's
// duration leaves out padding the decoder still delivers), less the encoder
// delay that skip side data marks.
Result<Measured> mp4PacketScan(BufferedFileReader &file, const AVInputFormat *format,
                               int streamIndex, int rate)
{
    Result<std::unique_ptr<FfmpegDemuxer>> opened = FfmpegDemuxer::open(file, format, ScanIoBytes);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDemuxer &demuxer = *opened.value();
    AVFormatContext *context = demuxer.context();
    if (!readOnly(context, streamIndex))
        return decodeScan(file, format);
    const AVRational timeBase = context->streams[streamIndex]->time_base;
    Packet packet = newPacket();
    if (packet == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int64_t packets = 0;
    int64_t longest = 0;
    int64_t skipped = 0;
    int64_t firstPts = AV_NOPTS_VALUE;
    int result = 0;
    while ((result = demuxer.readPacket(packet.get())) >= 0) {
        if (packet->stream_index == streamIndex) {
            // Fragments may leave durations out: the first two packets'
            // times tell them.
            if (packets == 0)
                firstPts = packet->pts;
            else if (packets == 1 && firstPts != AV_NOPTS_VALUE && packet->pts != AV_NOPTS_VALUE)
                longest = std::max(longest, toFrames(packet->pts - firstPts, timeBase, rate));
            if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
                av_packet_unref(packet.get());
                return damaged(QStringLiteral("a packet is cut short"));
            }
            std::size_t sideBytes = 0;
            const uint8_t *side =
                av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &sideBytes);
            if (side != nullptr && sideBytes >= 8)
                skipped += int64_t(AV_RL32(side)) + int64_t(AV_RL32(side + 4));
            ++packets;
            longest = std::max(longest, toFrames(packet->duration, timeBase, rate));
        }
        av_packet_unref(packet.get());
    }
    if (const Result<void> end = readToTheEnd(demuxer, result); !end)
        return Failure{end.error()};
    return Measured{std::max<int64_t>(packets * longest - skipped, 0), Method::Packets};
}

// AAC in MP4, from the sample table alone: as many frames per packet as the
// first packet spans, less the encoder delay the edit list moves before time
// zero. A fragmented file keeps its tables in its fragments: its packets are
// read instead.
Result<Measured> mp4AacLength(BufferedFileReader &file, const FfmpegDecoder &playback, int rate)
{
    AVStream *stream = playback.stream();
    const int entries = avformat_index_get_entries_count(stream);
    if (entries < 2 || ContainerLayout::isoFragmented(file))
        return mp4PacketScan(file, playback.demuxer().context()->iformat, playback.streamIndex(),
                             rate);
    int64_t end = 0;
    for (int i = 0; i < entries; ++i) {
        const AVIndexEntry *entry = avformat_index_get_entry(stream, i);
        end = std::max(end, entry->pos + entry->size);
    }
    if (end > file.size())
        return Failure{QStringLiteral("truncated: packets lie past the end of the file")};
    const int64_t first = avformat_index_get_entry(stream, 0)->timestamp;
    const int64_t frameLength =
        toFrames(avformat_index_get_entry(stream, 1)->timestamp - first, stream->time_base, rate);
    const int64_t delay = std::max<int64_t>(-toFrames(first, stream->time_base, rate), 0);
    return Measured{std::max<int64_t>(entries * frameLength - delay, 0), Method::Packets};
}

// ADTS: every frame header, each frame 1,024 frames at the headers' rate, or
// 2,048 at twice that where the decoder finds SBR.
Result<Measured> adtsLength(BufferedFileReader &file, const AVInputFormat *format, int rate)
{
    const Result<ContainerLayout::AdtsStream> stream = ContainerLayout::adtsStream(file);
    if (!stream)
        return Failure{stream.error()};
    if (rate == stream->sampleRate)
        return Measured{stream->frames, Method::Packets};
    if (rate == 2 * stream->sampleRate)
        return Measured{2 * stream->frames, Method::Packets};
    return decodeScan(file, format);
}

// Decodes from shortly before the stated end to the end of the file, with
// checksums checked where the codec has them: the file must be whole and
// reach the stated end. tailOffset: where in the file the packets of that
// part start, where known; otherwise the demuxer seeks by time.
Result<Measured> checkedStatedLength(BufferedFileReader &file, const AVInputFormat *format,
                                     int rate, int64_t stated,
                                     std::optional<int64_t> tailOffset = std::nullopt)
{
    Result<std::unique_ptr<FfmpegDecoder>> opened =
        FfmpegDecoder::open(file, format, ScanIoBytes, AV_EF_CRCCHECK | AV_EF_EXPLODE);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDecoder &scan = *opened.value();
    const AVStream *stream = scan.stream();
    const int64_t start = stream->start_time != AV_NOPTS_VALUE ? stream->start_time : 0;
    const int64_t from = stated - rate / TailDivisor;
    if (tailOffset == 0) {
        // The first packet: decoded from the start.
    } else if (tailOffset) {
        // WavPack's demuxer reads its first block's header with the file's;
        // a packet read first leaves it to read the header where it lands.
        Packet first = newPacket();
        if (first == nullptr)
            return Failure{QStringLiteral("out of memory")};
        if (scan.demuxer().readPacket(first.get()) >= 0)
            (void)av_seek_frame(scan.demuxer().context(), scan.streamIndex(), *tailOffset,
                                AVSEEK_FLAG_BYTE);
    } else if (from > 0) {
        const int64_t target = start + av_rescale_q(from, AVRational{1, rate}, stream->time_base);
        // Where it cannot seek, the check decodes from the start.
        (void)av_seek_frame(scan.demuxer().context(), scan.streamIndex(), target,
                            AVSEEK_FLAG_BACKWARD);
    }
    // Where times are coarser than frames (Matroska's milliseconds), the
    // last frame's start is known to a tick.
    const int64_t slack = std::max<int64_t>(toFrames(1, stream->time_base, rate) - 1, 0);
    int64_t end = 0;
    for (;;) {
        const FfmpegDecoder::Step step = scan.next();
        if (step == FfmpegDecoder::Step::End)
            break;
        if (step == FfmpegDecoder::Step::Error)
            return damaged(scan.errorText());
        const AVFrame *frame = scan.frame();
        const int64_t pts = frame->best_effort_timestamp;
        const int64_t at =
            pts != AV_NOPTS_VALUE ? toFrames(pts - start, stream->time_base, rate) : end;
        end = at + frame->nb_samples;
    }
    if (end + slack < stated)
        return shorterThanAnnounced();
    return Measured{stated, Method::Header};
}

// From the demuxer's position to the end: every packet's frames from its
// size, as the decoder counts them, without decoding; the last packet is
// decoded, strictly, so that blocks that do not decode there, or yield other
// than their count, are found at load. -1 where a packet's size does not tell
// its frames.
Result<int64_t> blockFramesToTheEnd(FfmpegDecoder &scan)
{
    Packet packet = newPacket();
    Packet last = newPacket();
    if (packet == nullptr || last == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int64_t frames = 0;
    int lastFrames = 0;
    int result = 0;
    while ((result = scan.demuxer().readPacket(packet.get())) >= 0) {
        if (packet->stream_index != scan.streamIndex()) {
            av_packet_unref(packet.get());
            continue;
        }
        if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
            av_packet_unref(packet.get());
            return damaged(QStringLiteral("a packet is cut short"));
        }
        lastFrames = av_get_audio_frame_duration2(scan.stream()->codecpar, packet->size);
        if (lastFrames <= 0) {
            av_packet_unref(packet.get());
            return int64_t{-1};
        }
        frames += lastFrames;
        av_packet_unref(last.get());
        av_packet_move_ref(last.get(), packet.get());
    }
    if (const Result<void> end = readToTheEnd(scan.demuxer(), result); !end)
        return Failure{end.error()};
    if (frames == 0)
        return int64_t{0};
    const AVPacket *const lastOne[] = {last.get()};
    const Result<int64_t> decoded = decodedFrames(scan.codec(), lastOne);
    if (!decoded)
        return Failure{decoded.error()};
    if (decoded.value() != lastFrames)
        return damaged(QStringLiteral("the last block does not decode to its length"));
    return frames;
}

// Compressed samples in fixed blocks (ADPCM and the like): every packet's
// frames from its size. A codec whose frames the size does not tell is
// decoded whole.
Result<Measured> blockPacketScan(BufferedFileReader &file, const AVInputFormat *format)
{
    Result<std::unique_ptr<FfmpegDecoder>> opened =
        FfmpegDecoder::open(file, format, ScanIoBytes, AV_EF_CRCCHECK | AV_EF_EXPLODE);
    if (!opened)
        return Failure{opened.error()};
    const Result<int64_t> frames = blockFramesToTheEnd(*opened.value());
    if (!frames)
        return Failure{frames.error()};
    if (frames.value() < 0)
        return decodeScan(file, format);
    return Measured{frames.value(), Method::Packets};
}

// Whether the stream carries frames across packets (the "bit reservoir" flag
// of the codec's private data): then a packet's frame count depends on bits
// only decoding finds.
bool wmaUsesBitReservoir(const AVCodecParameters *codec)
{
    const int at = codec->codec_id == AV_CODEC_ID_WMAV1 ? 2 : 4;
    if (codec->extradata == nullptr || codec->extradata_size < at + 2)
        return false;
    return (AV_RL16(codec->extradata + at) & 0x0002) != 0;
}

// The frames a fresh decoder yields for these whole blocks (at most
// MostBlocksDecoded), each sent as a packet of its own, decoded strictly; why
// not, where it fails.
constexpr int64_t MostBlocksDecoded = 8;
Result<int64_t> decodedBlocks(const AVCodecParameters *parameters, const uint8_t *bytes,
                              int64_t blocks, int64_t blockBytes)
{
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> codec(
        avcodec_alloc_context3(decoder), [](AVCodecContext *c) { avcodec_free_context(&c); });
    if (decoder == nullptr || codec == nullptr)
        return Failure{QStringLiteral("no decoder")};
    codec->thread_count = 1;
    int result = avcodec_parameters_to_context(codec.get(), parameters);
    codec->err_recognition |= AV_EF_CRCCHECK | AV_EF_EXPLODE;
    if (result >= 0)
        result = avcodec_open2(codec.get(), decoder, nullptr);
    if (result < 0)
        return damaged(FfmpegDemuxer::errorText(result));
    if (blocks > MostBlocksDecoded)
        return Failure{QStringLiteral("too many blocks")};
    std::vector<Packet> packets;
    std::vector<const AVPacket *> sent;
    // Each packet's data with the padding decoders read ahead into.
    for (int64_t i = 0; i < blocks; ++i) {
        packets.push_back(newPacket());
        AVPacket *packet = packets.back().get();
        if (packet == nullptr || av_new_packet(packet, static_cast<int>(blockBytes)) < 0)
            return Failure{QStringLiteral("out of memory")};
        std::memcpy(packet->data, bytes + i * blockBytes, std::size_t(blockBytes));
        sent.push_back(packet);
    }
    return decodedFrames(codec.get(), sent);
}

// The bytes of these ranges of the file, which add up to bytes.
Result<std::vector<uint8_t>>
readRanges(BufferedFileReader &file, const std::vector<AsfPayloads::Range> &ranges, int64_t bytes)
{
    std::vector<uint8_t> out(static_cast<std::size_t>(bytes));
    int64_t at = 0;
    for (const AsfPayloads::Range &range : ranges) {
        if (range.bytes > bytes - at ||
            file.read(range.offset, out.data() + at, std::size_t(range.bytes)) != range.bytes)
            return Failure{QStringLiteral("the file changed while it was read")};
        at += range.bytes;
    }
    if (at != bytes)
        return Failure{QStringLiteral("the file changed while it was read")};
    return out;
}

// WMA versions 1 and 2 in ASF with the bit reservoir (the way Windows encodes
// it): the frames counted from the headers of the superframes, which a walk
// over the data packets' headers finds. A fresh decoder then decodes the last
// superframes strictly, from the latest one it can start at, at least two
// from the end: they must decode and yield what their headers count. Where
// the walk or the count cannot tell, or the check disagrees, the stream is
// decoded whole.
Result<Measured> wmaReservoirScan(BufferedFileReader &file, const FfmpegDecoder &playback)
{
    const AVInputFormat *format = playback.demuxer().context()->iformat;
    const AVCodecParameters *codec = playback.stream()->codecpar;
    const int64_t blockBytes = codec->block_align;
    const WmaSuperframes::Format wma{codec->codec_id == AV_CODEC_ID_WMAV1 ? 1 : 2,
                                     codec->sample_rate, codec->ch_layout.nb_channels,
                                     codec->bit_rate, blockBytes};
    const Result<AsfPayloads::Stream> walked = AsfPayloads::walkBlocks(
        file, playback.stream()->id, MostBlocksDecoded * blockBytes, blockBytes);
    if (!walked)
        return decodeScan(file, format);
    const std::span<const AsfPayloads::Block> blocks = walked->blocks;
    const Result<int64_t> frames = WmaSuperframes::decodedFrames(blocks, wma);
    if (!frames)
        return decodeScan(file, format);
    if (blocks.empty())
        return Measured{0, Method::Packets};
    const auto held = std::min<int64_t>(int64_t(blocks.size()), MostBlocksDecoded);
    const Result<std::vector<uint8_t>> tail = readRanges(file, walked->tail, held * blockBytes);
    if (!tail)
        return Failure{tail.error()};
    // A fresh decoder may fail where its first frame leans on one before it.
    for (int64_t count = std::min<int64_t>(held, 2); count <= held; ++count) {
        const Result<int64_t> counted =
            WmaSuperframes::decodedFrames(blocks.last(std::size_t(count)), wma);
        if (!counted)
            continue;
        const Result<int64_t> decoded =
            decodedBlocks(codec, tail->data() + (held - count) * blockBytes, count, blockBytes);
        if (decoded && decoded.value() == counted.value())
            return Measured{frames.value(), Method::Packets};
    }
    return decodeScan(file, format);
}

// WMA versions 1 and 2 in ASF without the bit reservoir (the way FFmpeg
// encodes it): every block of the stated block size is one frame, and the
// decoder yields one frame fewer than the blocks (the first only starts the
// overlap). The blocks are counted by a walk over the data packets' headers;
// where the walk cannot tell them, from the demuxer's packets. The last two
// blocks are decoded, strictly, so that a tail that does not decode, or a
// frame length other than the one derived here, is found at load. Streams
// with the bit reservoir are counted by their superframes' headers.
Result<Measured> wmaPacketScan(BufferedFileReader &file, const FfmpegDecoder &playback, int rate)
{
    const AVInputFormat *format = playback.demuxer().context()->iformat;
    const AVCodecParameters *codec = playback.stream()->codecpar;
    const int64_t blockBytes = codec->block_align;
    if (blockBytes <= 0 || blockBytes > INT32_MAX / 2 || codec->sample_rate != rate)
        return decodeScan(file, format);
    if (wmaUsesBitReservoir(codec))
        return wmaReservoirScan(file, playback);
    const int64_t frameLength =
        WmaSuperframes::frameLength(codec->codec_id == AV_CODEC_ID_WMAV1 ? 1 : 2, rate);
    const Result<AsfPayloads::Stream> walked =
        AsfPayloads::walk(file, playback.stream()->id, 2 * blockBytes);
    if (walked && walked->bytes % blockBytes == 0) {
        const int64_t blocks = walked->bytes / blockBytes;
        if (blocks == 0)
            return Measured{0, Method::Packets};
        const int64_t tailBlocks = std::min<int64_t>(blocks, 2);
        const Result<std::vector<uint8_t>> tail =
            readRanges(file, walked->tail, tailBlocks * blockBytes);
        if (!tail)
            return Failure{tail.error()};
        const Result<int64_t> decoded = decodedBlocks(codec, tail->data(), tailBlocks, blockBytes);
        if (!decoded)
            return Failure{decoded.error()};
        if (decoded.value() != (tailBlocks - 1) * frameLength)
            return damaged(QStringLiteral("the last blocks do not decode to their length"));
        return Measured{(blocks - 1) * frameLength, Method::Packets};
    }
    Result<std::unique_ptr<FfmpegDecoder>> opened =
        FfmpegDecoder::open(file, format, ScanIoBytes, AV_EF_CRCCHECK | AV_EF_EXPLODE);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDecoder &scan = *opened.value();
    Packet packet = newPacket();
    Packet beforeLast = newPacket();
    Packet last = newPacket();
    if (packet == nullptr || beforeLast == nullptr || last == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int64_t blocks = 0;
    int64_t lastBlocks = 0;
    int64_t beforeLastBlocks = 0;
    int result = 0;
    while ((result = scan.demuxer().readPacket(packet.get())) >= 0) {
        if (packet->stream_index != scan.streamIndex()) {
            av_packet_unref(packet.get());
            continue;
        }
        const bool corrupt = (packet->flags & AV_PKT_FLAG_CORRUPT) != 0;
        const bool whole = packet->size > 0 && packet->size % blockBytes == 0;
        if (corrupt || !whole) {
            av_packet_unref(packet.get());
            if (corrupt)
                return damaged(QStringLiteral("a packet is cut short"));
            return decodeScan(file, format);
        }
        beforeLastBlocks = lastBlocks;
        lastBlocks = packet->size / blockBytes;
        blocks += lastBlocks;
        av_packet_unref(beforeLast.get());
        av_packet_move_ref(beforeLast.get(), last.get());
        av_packet_move_ref(last.get(), packet.get());
    }
    if (const Result<void> end = readToTheEnd(scan.demuxer(), result); !end)
        return Failure{end.error()};
    if (blocks == 0)
        return Measured{0, Method::Packets};
    const AVPacket *const lastTwo[] = {beforeLast.get(), last.get()};
    const Result<int64_t> decoded = decodedFrames(scan.codec(), lastTwo);
    if (!decoded)
        return Failure{decoded.error()};
    if (decoded.value() != (beforeLastBlocks + lastBlocks - 1) * frameLength)
        return damaged(QStringLiteral("the last blocks do not decode to their length"));
    return Measured{(blocks - 1) * frameLength, Method::Packets};
}

// Opus's pre-skip as its identification header states it, which the decoder
// drops; -1 without one.
int opusPreSkip(const AVCodecParameters *codec)
{
    if (codec->extradata == nullptr || codec->extradata_size < 19 ||
        std::memcmp(codec->extradata, "OpusHead", 8) != 0)
        return -1;
    return AV_RL16(codec->extradata + 10);
}

// Vorbis and Opus in Matroska and WebM: every packet's frames from its
// header, without decoding, as the decoder yields them: nothing for the first
// Vorbis packet (it only starts the overlap), less Opus's pre-skip and the
// padding marked on packets (DiscardPadding). The packets are found by a walk
// over the file's blocks, or, where the walk cannot tell them, read through
// the demuxer. Other codecs, and packets whose headers do not tell their
// frames, are decoded whole.
Result<Measured> matroskaPacketScan(BufferedFileReader &file, const FfmpegDecoder &playback,
                                    int rate)
{
    const AVInputFormat *format = playback.demuxer().context()->iformat;
    const AVCodecParameters *codec = playback.stream()->codecpar;
    const bool vorbis = codec->codec_id == AV_CODEC_ID_VORBIS;
    int64_t preSkip = 0;
    if (!vorbis) {
        preSkip = opusPreSkip(codec);
        if (preSkip < 0 || preSkip != codec->initial_padding)
            return decodeScan(file, format);
    }
    // Each packet's frames from its own header: Vorbis's block sizes, Opus's
    // table of contents.
    std::unique_ptr<AVVorbisParseContext, void (*)(AVVorbisParseContext *)> vorbisParser(
        vorbis ? av_vorbis_parse_init(codec->extradata, codec->extradata_size) : nullptr,
        [](AVVorbisParseContext *p) { av_vorbis_parse_free(&p); });
    std::unique_ptr<AVCodecParserContext, void (*)(AVCodecParserContext *)> opusParser(
        vorbis ? nullptr : av_parser_init(AV_CODEC_ID_OPUS), av_parser_close);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext *)> parserCodec(
        avcodec_alloc_context3(nullptr), [](AVCodecContext *c) { avcodec_free_context(&c); });
    if ((vorbisParser == nullptr && opusParser == nullptr) || parserCodec == nullptr ||
        avcodec_parameters_to_context(parserCodec.get(), codec) < 0 || codec->sample_rate != rate)
        return decodeScan(file, format);
    if (opusParser != nullptr)
        opusParser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
    int64_t frames = 0;
    int64_t packets = 0;
    int64_t padding = 0;
    // Adds a packet of size bytes, of which data holds the first (all of
    // them for Opus); false where the decoder is left to count it: its header
    // does not tell its frames, or samples are dropped at its start other
    // than the pre-skip.
    const auto add = [&](uint8_t *data, int size, int64_t startSkip, int64_t endSkip) {
        int count = 0;
        if (vorbisParser != nullptr) {
            count = av_vorbis_parse_frame(vorbisParser.get(), data, size);
        } else {
            uint8_t *out = nullptr;
            int outBytes = 0;
            opusParser->duration = 0;
            if (av_parser_parse2(opusParser.get(), parserCodec.get(), &out, &outBytes, data, size,
                                 AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0) == size &&
                outBytes == size)
                count = opusParser->duration;
        }
        if (count <= 0 || startSkip != 0)
            return false;
        padding += endSkip;
        if (packets++ > 0 || !vorbis)
            frames += count;
        return true;
    };
    const auto measured = [&] {
        return Measured{std::max<int64_t>(frames - preSkip - padding, 0), Method::Packets};
    };

    bool vouched = true;
    std::vector<uint8_t> bytes;
    const Result<void> walked = MatroskaBlocks::walk(
        file, vorbis ? QByteArrayLiteral("A_VORBIS") : QByteArrayLiteral("A_OPUS"),
        [&](const MatroskaBlocks::Frame &frame) -> Result<void> {
            // Vorbis's block size is in the first byte.
            const int64_t wanted = vorbis ? std::min<int64_t>(frame.bytes, 1) : frame.bytes;
            if (wanted > INT32_MAX - AV_INPUT_BUFFER_PADDING_SIZE)
                return Failure{QStringLiteral("a packet too large")};
            if (bytes.size() < std::size_t(wanted + AV_INPUT_BUFFER_PADDING_SIZE))
                bytes.resize(std::size_t(wanted + AV_INPUT_BUFFER_PADDING_SIZE));
            if (wanted <= frame.headBytes)
                std::copy_n(frame.head.begin(), wanted, bytes.begin());
            else if (file.read(frame.offset, bytes.data(), std::size_t(wanted)) != wanted)
                return Failure{QStringLiteral("the file changed")};
            std::fill_n(bytes.begin() + wanted, AV_INPUT_BUFFER_PADDING_SIZE, 0);
            // As the demuxer hands DiscardPadding to the decoder.
            const int64_t skip = frame.discardPadding == 0
                                     ? 0
                                     : av_rescale_q(frame.discardPadding, AVRational{1, 1000000000},
                                                    AVRational{1, rate});
            vouched = add(bytes.data(), static_cast<int>(wanted), std::max<int64_t>(-skip, 0),
                          std::max<int64_t>(skip, 0));
            if (!vouched)
                return Failure{QStringLiteral("a packet the decoder counts")};
            return {};
        });
    if (!vouched)
        return decodeScan(file, format);
    if (walked)
        return measured();

    frames = packets = padding = 0;
    if (vorbisParser != nullptr) {
        vorbisParser.reset(av_vorbis_parse_init(codec->extradata, codec->extradata_size));
        if (vorbisParser == nullptr)
            return decodeScan(file, format);
    }
    Result<std::unique_ptr<FfmpegDemuxer>> opened = FfmpegDemuxer::open(file, format, ScanIoBytes);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDemuxer &demuxer = *opened.value();
    AVFormatContext *context = demuxer.context();
    const int streamIndex = playback.streamIndex();
    if (!readOnly(context, streamIndex))
        return decodeScan(file, format);
    // Packets are read for their size and first bytes alone.
    context->flags |= AVFMT_FLAG_NOFILLIN | AVFMT_FLAG_NOPARSE;
    Packet packet = newPacket();
    if (packet == nullptr)
        return Failure{QStringLiteral("out of memory")};
    int result = 0;
    while ((result = demuxer.readPacket(packet.get())) >= 0) {
        if (packet->stream_index != streamIndex) {
            av_packet_unref(packet.get());
            continue;
        }
        if ((packet->flags & AV_PKT_FLAG_CORRUPT) != 0) {
            av_packet_unref(packet.get());
            return damaged(QStringLiteral("a packet is cut short"));
        }
        std::size_t sideBytes = 0;
        const uint8_t *side =
            av_packet_get_side_data(packet.get(), AV_PKT_DATA_SKIP_SAMPLES, &sideBytes);
        if (side != nullptr && sideBytes < 8)
            vouched = false;
        else
            vouched = add(packet->data, packet->size, side != nullptr ? AV_RL32(side) : 0,
                          side != nullptr ? AV_RL32(side + 4) : 0);
        av_packet_unref(packet.get());
        if (!vouched)
            return decodeScan(file, format);
    }
    if (const Result<void> end = readToTheEnd(demuxer, result); !end)
        return Failure{end.error()};
    return measured();
}

// Fixed blocks in a WAV data chunk (ADPCM and the like) whose frames grow
// with whole blocks alone: the count from the chunk's size, as the packets
// would add up (a partial block at the end counts nothing, as the decoder
// yields nothing for it). Only the end of the data is read: from shortly
// before it, the last packet is decoded strictly, so that blocks that do not
// decode there, or yield other than their count, are found at load. Other
// codecs have every packet read.
Result<Measured> blockArithmetic(BufferedFileReader &file, const AVInputFormat *format,
                                 const AVCodecParameters *codec,
                                 const ContainerLayout::AudioData &data)
{
    const int64_t blockBytes = codec->block_align;
    const int64_t blockFrames = av_get_audio_frame_duration2(const_cast<AVCodecParameters *>(codec),
                                                             static_cast<int>(blockBytes));
    if (blockFrames <= 0 || blockBytes > INT32_MAX / 3 ||
        av_get_audio_frame_duration2(const_cast<AVCodecParameters *>(codec),
                                     static_cast<int>(3 * blockBytes)) != 3 * blockFrames)
        return blockPacketScan(file, format);
    const int64_t blocks = data.bytes / blockBytes;
    Result<std::unique_ptr<FfmpegDecoder>> opened =
        FfmpegDecoder::open(file, format, ScanIoBytes, AV_EF_CRCCHECK | AV_EF_EXPLODE);
    if (!opened)
        return Failure{opened.error()};
    FfmpegDecoder &scan = *opened.value();
    // By bytes: a seek by time goes by the header's average byte rate, which
    // the encoder may state roughly. Where it cannot seek, the packets are
    // read from the start.
    if (blocks > 2)
        (void)av_seek_frame(scan.demuxer().context(), scan.streamIndex(),
                            data.offset + (blocks - 2) * blockBytes, AVSEEK_FLAG_BYTE);
    const Result<int64_t> tail = blockFramesToTheEnd(scan);
    if (!tail)
        return Failure{tail.error()};
    if (tail.value() < 0)
        return blockPacketScan(file, format);
    return Measured{blocks * blockFrames, Method::Packets};
}

Result<Measured> riffWaveLength(BufferedFileReader &file, const AVInputFormat *format,
                                const AVCodecParameters *codec)
{
    const Result<ContainerLayout::AudioData> data = ContainerLayout::riffWaveData(file);
    if (!data)
        return Failure{data.error()};
    const int64_t blockBytes = codec->block_align;
    if (blockBytes <= 0)
        return decodeScan(file, format);
    if (isPcm(codec->codec_id))
        return Measured{data->bytes / blockBytes, Method::Header};
    return blockArithmetic(file, format, codec, data.value());
}

Result<Measured> aiffLength(BufferedFileReader &file, const AVInputFormat *format,
                            const AVCodecParameters *codec)
{
    const Result<ContainerLayout::AudioData> data = ContainerLayout::aiffData(file);
    if (!data)
        return Failure{data.error()};
    if (!isPcm(codec->codec_id) || codec->block_align <= 0)
        return decodeScan(file, format);
    const int64_t held = data->bytes / codec->block_align;
    if (data->declaredFrames < 0)
        return Measured{held, Method::Header};
    if (held < data->declaredFrames)
        return shorterThanAnnounced();
    return Measured{data->declaredFrames, Method::Header};
}

} // namespace

Result<Measured> FfmpegTrackLength::measure(BufferedFileReader &file, const FfmpegDecoder &playback,
                                            int rate)
{
    const AVInputFormat *format = playback.demuxer().context()->iformat;
    const AVStream *stream = playback.stream();
    const AVCodecParameters *codec = stream->codecpar;
    const char *name = format->name;
    std::optional<int64_t> stated = statedFrames(stream, rate);

    // Containers that state their structures' sizes: a file cut short does
    // not hold them.
    if ((std::strncmp(name, "mov,", 4) == 0 && !ContainerLayout::isoBoxesFit(file)) ||
        (std::strcmp(name, "asf") == 0 && !ContainerLayout::asfObjectsFit(file)) ||
        (std::strncmp(name, "matroska", 8) == 0 && !ContainerLayout::matroskaSegmentFits(file)))
        return Failure{QStringLiteral("truncated: the file is shorter than its structure says")};
    if (std::strcmp(name, "wav") == 0 && startsWith(file, "RIFF", 0))
        return riffWaveLength(file, format, codec);
    if (std::strcmp(name, "aiff") == 0)
        return aiffLength(file, format, codec);
    if (std::strcmp(name, "ogg") == 0) {
        if (!ContainerLayout::oggEndsWithLastPage(file))
            return Failure{QStringLiteral("truncated: the Ogg stream has no last page")};
        // The last granule position counts Opus's pre-skip, which the
        // decoder drops.
        if (stated)
            return Measured{std::max<int64_t>(*stated - codec->initial_padding, 0), Method::Header};
        return decodeScan(file, format);
    }
    if (!stated)
        stated = flacStreamInfoFrames(codec, rate);
    if (stated && isLossless(codec->codec_id)) {
        // WavPack's demuxer seeks by reading every block before the target
        // through its buffer. The chain of blocks back from the end finds the
        // frame in a few reads; where it breaks, the walk from the start
        // finds the last frame it can reach.
        std::optional<int64_t> tailOffset;
        if (std::strcmp(name, "wv") == 0) {
            const int64_t target = std::max<int64_t>(*stated - rate / TailDivisor, 0);
            Result<int64_t> frame = ContainerLayout::wavPackFrameFromEnd(file, target, *stated);
            if (!frame)
                frame = ContainerLayout::wavPackFrameAt(file, target);
            if (frame)
                tailOffset = frame.value();
        }
        return checkedStatedLength(file, format, rate, *stated, tailOffset);
    }
    if (std::strncmp(name, "matroska", 8) == 0)
        return matroskaPacketScan(file, playback, rate);
    if (codec->codec_id == AV_CODEC_ID_AAC) {
        if (std::strcmp(name, "aac") == 0)
            return adtsLength(file, format, rate);
        if (std::strncmp(name, "mov,", 4) == 0)
            return mp4AacLength(file, playback, rate);
    }
    if (std::strcmp(name, "asf") == 0 &&
        (codec->codec_id == AV_CODEC_ID_WMAV1 || codec->codec_id == AV_CODEC_ID_WMAV2))
        return wmaPacketScan(file, playback, rate);
    return decodeScan(file, format);
}

} // namespace audio
