#pragma once

#include <QString>

#include <memory>

class MappedFile;
class PcmSource;

// Opens an audio file as a decoded track of exact length: RIFF/WAVE through
// SDL's loader, everything else as MPEG audio. Other formats, damaged files
// and files that are not audio fail with a message; nothing throws.
class AudioFileLoader
{
  public:
    [[nodiscard]] static std::unique_ptr<PcmSource> load(const QString &path, QString *error);
    [[nodiscard]] static std::unique_ptr<PcmSource> load(std::shared_ptr<const MappedFile> file,
                                                         QString *error);
};
