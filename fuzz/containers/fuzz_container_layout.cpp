// Feeds arbitrary bytes to ContainerLayout's readers of WAV, AIFF, ADTS, MP4,
// ASF, Matroska and Ogg structures, through the reader the player uses, and
// checks what each promises about where the samples lie.
#include "BufferedFileReader.h"
#include "ContainerLayout.h"

#include <QDir>
#include <QString>
#include <QTemporaryFile>

#include <cstddef>
#include <cstdint>

namespace {

// One file for the whole run, rewritten for each input; removed at exit.
QTemporaryFile &inputFile()
{
    static QTemporaryFile file(QDir::tempPath() + QStringLiteral("/fuzz_layout_XXXXXX"));
    if (!file.isOpen() && !file.open())
        __builtin_trap();
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QTemporaryFile &file = inputFile();
    if (!file.resize(0) || !file.seek(0) ||
        file.write(reinterpret_cast<const char *>(data), qint64(size)) != qint64(size) ||
        !file.flush())
        __builtin_trap();
    Result<std::unique_ptr<audio::BufferedFileReader>> opened =
        audio::BufferedFileReader::open(file.fileName());
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
    (void)ContainerLayout::asfObjectsFit(reader);
    (void)ContainerLayout::matroskaSegmentFits(reader);
    (void)ContainerLayout::oggEndsWithLastPage(reader);
    return 0;
}
