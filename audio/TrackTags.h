#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace audio {

// What a file's content says about it as a track: that it holds audio, and
// its title tag. MP3 tags (ID3v2, then ID3v1) are read by libmpg123, every
// other container's own tags (Vorbis comments in FLAC and Ogg, RIFF INFO, ...)
// by libavformat. Only the file is read: no protocol, no other file, and
// anything but a regular file is refused without a blocking open.
class TrackTags
{
  public:
    // Fails, with a reason, when the file cannot be opened as a regular file
    // or holds no audio stream that libavformat or libmpg123 recognises.
    [[nodiscard]] static Result<TrackTags> read(const QString &path);

    // The title tag with its surrounding white space removed; nullopt when
    // there is none, it is empty, or its bytes cannot be read as text.
    [[nodiscard]] const std::optional<QString> &title() const { return m_title; }

    // Text of a tag that declares no encoding (ID3v1): plain ASCII as it is,
    // otherwise GBK when the bytes form valid GBK (GB18030), otherwise
    // nullopt, so no title is ever shown as mojibake. Trailing NULs and white
    // space are dropped; an empty text is nullopt.
    [[nodiscard]] static std::optional<QString> decodeUndeclared(const QByteArray &bytes);

  private:
    explicit TrackTags(std::optional<QString> title) : m_title(std::move(title)) {}

    std::optional<QString> m_title;
};

} // namespace audio
