#pragma once

#include "Result.h"

#include <QString>

#include <memory>
#include <optional>

namespace audio {

class BufferedFileReader;
class PcmSource;

// Every format FFmpeg's libraries read, as the loader and the tag reader use
// them. FFmpeg brings some hundred and twenty libraries with it, which a
// program's first frame does not need: Plovi loads them from the module
// "plovi-ffmpeg.so" beside the program when a file first needs them; tests
// and tools link them in.
class FfmpegFormats
{
  public:
    virtual ~FfmpegFormats() = default;

    // What a demuxer makes of a file's content.
    struct Probe
    {
        bool recognised = false; // a demuxer recognised and opened the file
        bool mpeg = false;       // it is MPEG audio, which libmpg123 plays
        bool audio = false;      // it has an audio stream
        std::optional<QString> title;
    };

    // Whether the file is one FFmpeg plays: recognised with confidence and
    // not MPEG audio.
    [[nodiscard]] virtual bool handles(BufferedFileReader &file) const = 0;
    // The file as a track of the length FFmpeg states (see FfmpegSource).
    [[nodiscard]] virtual Result<std::unique_ptr<PcmSource>>
    open(std::unique_ptr<BufferedFileReader> file) const = 0;
    [[nodiscard]] virtual Probe probe(BufferedFileReader &file) const = 0;
};

// The formats, loaded by the first call from any thread (once per process);
// null, with the reason in *error if given, when they cannot be loaded.
// Defined by the one of FfmpegFormatsLinked.cpp and FfmpegModuleLoader.cpp a
// program is built with.
[[nodiscard]] const FfmpegFormats *ffmpegFormats(QString *error = nullptr);

} // namespace audio
