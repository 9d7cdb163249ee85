#include "AudioFileLoader.h"

#include "BufferedFileReader.h"
#include "Mp3Source.h"
#include "WavSource.h"

namespace audio {

std::unique_ptr<PcmSource> AudioFileLoader::load(const QString &path, QString *error)
{
    std::unique_ptr<BufferedFileReader> file = BufferedFileReader::open(path, error);
    if (file == nullptr)
        return nullptr;
    if (WavSource::looksLikeWav(*file))
        return WavSource::open(*file, error);
    return Mp3Source::open(std::move(file), error);
}

} // namespace audio
