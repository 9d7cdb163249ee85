#include "PlaybackSettings.h"

#include "BindingsLocation.h"
#include "FileAccess.h"

#include <QDir>
#include <QStringDecoder>

#include <cmath>

namespace plovi {

namespace {

constexpr qsizetype kIniLimit = 64 * 1024;

} // namespace

std::optional<double> PlaybackSettings::loudnessTarget(const QByteArray &iniText)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(iniText);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    QString section;
    std::optional<QString> value;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed().toString().toLower();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || section.isEmpty() || line.left(equals).trimmed().isEmpty()) {
            return std::nullopt;
        }
        if (section == u"playback" &&
            line.left(equals).trimmed().compare(u"loudness", Qt::CaseInsensitive) == 0) {
            value = line.mid(equals + 1).trimmed().toString();
        }
    }
    if (!value) {
        return std::nullopt;
    }
    bool ok = false;
    const double target = value->toDouble(&ok);
    if (!ok || !std::isfinite(target) || target < -70.0 || target > 0.0) {
        return std::nullopt;
    }
    return target;
}

std::optional<double> PlaybackSettings::loudnessTargetOfFile(const QString &path)
{
    // A file of the limit's size or more may have been cut: taken as absent.
    const Result<QByteArray> read = fileaccess::readRegularFile(path, kIniLimit + 1);
    if (!read || read.value().size() > kIniLimit) {
        return std::nullopt;
    }
    return loudnessTarget(read.value());
}

QString PlaybackSettings::iniPath(const QString &xdgConfigHome, const QString &home)
{
    return QDir(userConfigHome(xdgConfigHome, home)).filePath(QStringLiteral("plovi/plovi.ini"));
}

QString PlaybackSettings::cacheFolder(const QString &xdgCacheHome, const QString &home)
{
    const QString base = QDir::isAbsolutePath(xdgCacheHome)
                             ? QDir::cleanPath(xdgCacheHome)
                             : QDir(home).filePath(QStringLiteral(".cache"));
    return QDir(base).filePath(QStringLiteral("plovi"));
}

} // namespace plovi
