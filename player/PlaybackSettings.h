#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace plovi {

// The player's own per-user settings, in plovi/plovi.ini of the user's
// configuration folder, read by inifile (the rules of popup.ini). So far one
// key:
//
//   [Playback]
//   Loudness=-18
//
// the loudness every track is brought to, in LUFS (-70 to 0). Absent, "off",
// or anything else: every track plays at its own level. A file that cannot be
// read, is not a regular file, is larger than 64 KiB or holds a line of
// another form counts as absent.
class PlaybackSettings
{
  public:
    [[nodiscard]] static std::optional<double> loudnessTarget(const QByteArray &iniText);
    // Reads the file as inifile::read does: never waiting on anything but a
    // regular file.
    [[nodiscard]] static std::optional<double> loudnessTargetOfFile(const QString &path);
    // <config>/plovi/plovi.ini and <cache>/plovi/ by the XDG rules: the
    // variable when it is an absolute path, else ~/.config or ~/.cache.
    [[nodiscard]] static QString iniPath(const QString &xdgConfigHome, const QString &home);
    [[nodiscard]] static QString cacheFolder(const QString &xdgCacheHome, const QString &home);
};

} // namespace plovi
