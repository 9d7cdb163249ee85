#include "AudioFileLoader.h"

#include "BufferedFileReader.h"
#include "FfmpegFormats.h"
#include "Mp3Source.h"
#include "WavSource.h"

namespace audio {

Result<std::unique_ptr<PcmSource>> AudioFileLoader::load(const QString &path)
{
    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    if (!file)
        return Failure{file.error()};
    // Plain MPEG audio goes straight to libmpg123, without FFmpeg's
    // libraries: a player of MP3 files alone never loads them.
    if (!Mp3Source::looksLikeMpegAudio(*file.value())) {
        QString unavailable;
        const FfmpegFormats *ffmpeg = ffmpegFormats(&unavailable);
        const bool wav = WavSource::looksLikeWav(*file.value());
        if (ffmpeg != nullptr && (wav || ffmpeg->handles(*file.value())))
            return ffmpeg->open(std::move(file).value());
        if (ffmpeg == nullptr && wav)
            return Failure{unavailable};
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
