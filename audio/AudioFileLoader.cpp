#include "AudioFileLoader.h"

#include "BufferedFileReader.h"
#include "FfmpegSource.h"
#include "Mp3Source.h"
#include "WavSource.h"

namespace audio {

Result<std::unique_ptr<PcmSource>> AudioFileLoader::load(const QString &path)
{
    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    if (!file)
        return Failure{file.error()};
    if (WavSource::looksLikeWav(*file.value()) || FfmpegSource::handles(*file.value())) {
        Result<std::unique_ptr<FfmpegSource>> source = FfmpegSource::open(std::move(file).value());
        if (!source)
            return Failure{source.error()};
        return std::unique_ptr<PcmSource>(std::move(source).value());
    }
    Result<std::unique_ptr<Mp3Source>> mp3 = Mp3Source::open(std::move(file).value());
    if (!mp3)
        return Failure{mp3.error()};
    return std::unique_ptr<PcmSource>(std::move(mp3).value());
}

QStringList AudioFileLoader::fileNamePatterns()
{
    return {QStringLiteral("*.mp3"),  QStringLiteral("*.mp2"), QStringLiteral("*.flac"),
            QStringLiteral("*.ogg"),  QStringLiteral("*.oga"), QStringLiteral("*.opus"),
            QStringLiteral("*.m4a"),  QStringLiteral("*.m4b"), QStringLiteral("*.mp4"),
            QStringLiteral("*.aac"),  QStringLiteral("*.wma"), QStringLiteral("*.ape"),
            QStringLiteral("*.wv"),   QStringLiteral("*.tta"), QStringLiteral("*.mpc"),
            QStringLiteral("*.aiff"), QStringLiteral("*.aif"), QStringLiteral("*.aifc"),
            QStringLiteral("*.wav"),  QStringLiteral("*.caf"), QStringLiteral("*.au"),
            QStringLiteral("*.ac3"),  QStringLiteral("*.dts"), QStringLiteral("*.amr"),
            QStringLiteral("*.mka"),  QStringLiteral("*.mkv"), QStringLiteral("*.webm")};
}

} // namespace audio
