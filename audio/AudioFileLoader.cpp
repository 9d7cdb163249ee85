#include "AudioFileLoader.h"

#include "BufferedFileReader.h"
#include "Mp3Source.h"
#include "WavSource.h"

namespace audio {

Result<std::unique_ptr<PcmSource>> AudioFileLoader::load(const QString &path)
{
    Result<std::unique_ptr<BufferedFileReader>> file = BufferedFileReader::open(path);
    if (!file)
        return Failure{file.error()};
    if (WavSource::looksLikeWav(*file.value())) {
        Result<std::unique_ptr<WavSource>> wav = WavSource::open(*file.value());
        if (!wav)
            return Failure{wav.error()};
        return std::unique_ptr<PcmSource>(std::move(wav).value());
    }
    Result<std::unique_ptr<Mp3Source>> mp3 = Mp3Source::open(std::move(file).value());
    if (!mp3)
        return Failure{mp3.error()};
    return std::unique_ptr<PcmSource>(std::move(mp3).value());
}

} // namespace audio
