#include "AudioFileLoader.h"

#include "MappedFile.h"
#include "Mp3Source.h"
#include "WavSource.h"

std::unique_ptr<PcmSource> AudioFileLoader::load(const QString &path, QString *error)
{
    std::shared_ptr<const MappedFile> file = MappedFile::open(path, error);
    if (file == nullptr)
        return nullptr;
    return load(std::move(file), error);
}

std::unique_ptr<PcmSource> AudioFileLoader::load(std::shared_ptr<const MappedFile> file,
                                                 QString *error)
{
    if (file == nullptr || file->bytes().empty()) {
        *error = QStringLiteral("empty file");
        return nullptr;
    }
    if (WavSource::looksLikeWav(*file))
        return WavSource::open(*file, error);
    return Mp3Source::open(std::move(file), error);
}
