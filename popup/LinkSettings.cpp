#include "LinkSettings.h"

#include "BindingsLocation.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringDecoder>
#include <QUrl>

#include <iterator>
#include <optional>

namespace popup {

namespace {

// Values of one file, keyed "section/key" in lower case.
using IniValues = QHash<QString, QString>;

// QSettings is not used: it reads a value with a comma as a list and gives
// '@', quotes and backslashes meanings of its own.
std::optional<IniValues> parseIni(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError()) {
        return std::nullopt;
    }
    IniValues values;
    QString section;
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed(); // also drops the CR of CR LF
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#')) {
            continue;
        }
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed().toString().toLower();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0 || section.isEmpty()) {
            return std::nullopt;
        }
        const QString key = line.left(equals).trimmed().toString().toLower();
        if (key.isEmpty()) {
            return std::nullopt;
        }
        values.insert(section + u'/' + key, line.mid(equals + 1).trimmed().toString());
    }
    return values;
}

std::optional<IniValues> readIni(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return std::nullopt;
    }
    return parseIni(bytes);
}

bool usableName(const QString &value)
{
    return !value.isEmpty();
}

bool usableEmail(const QString &value)
{
    const qsizetype at = value.indexOf(u'@');
    if (at <= 0 || at == value.size() - 1) {
        return false;
    }
    for (const QChar c : value) {
        if (c.isSpace()) {
            return false;
        }
    }
    return true;
}

bool usableUrl(const QString &value)
{
    const QUrl url(value, QUrl::StrictMode);
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == u"http" || scheme == u"https") && !url.host().isEmpty();
}

struct Key
{
    const char16_t *name; // "section/key" in lower case
    QString LinkSettings::*member;
    bool (*usable)(const QString &);
};

const Key kKeys[] = {
    {u"nobix/email", &LinkSettings::contactEmail, usableEmail},
    {u"tarvel/program1name", &LinkSettings::program1Name, usableName},
    {u"tarvel/program1url", &LinkSettings::program1Url, usableUrl},
    {u"tarvel/program2name", &LinkSettings::program2Name, usableName},
    {u"tarvel/program2url", &LinkSettings::program2Url, usableUrl},
};

} // namespace

LinkSettings LinkSettings::read(const LinkSettings &defaults, const QStringList &configFolders)
{
    LinkSettings settings = defaults;
    bool taken[std::size(kKeys)] = {};
    for (const QString &folder : configFolders) {
        const std::optional<IniValues> values =
            readIni(QDir(folder).filePath(QStringLiteral("plovi/popup.ini")));
        if (!values) {
            continue;
        }
        for (std::size_t i = 0; i < std::size(kKeys); ++i) {
            const auto found = values->constFind(QString::fromUtf16(kKeys[i].name));
            if (!taken[i] && found != values->cend() && kKeys[i].usable(*found)) {
                settings.*kKeys[i].member = *found;
                taken[i] = true;
            }
        }
    }
    return settings;
}

QStringList LinkSettings::configFolders(const QString &xdgConfigHome, const QString &xdgConfigDirs,
                                        const QString &home)
{
    QStringList folders{userConfigHome(xdgConfigHome, home)};
    QStringList system;
    for (const QString &entry : xdgConfigDirs.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(entry)) {
            system << QDir::cleanPath(entry);
        }
    }
    if (system.isEmpty()) {
        system << QStringLiteral("/etc/xdg");
    }
    return folders + system;
}

QStringList LinkSettings::configFoldersFromEnvironment()
{
    return configFolders(qEnvironmentVariable("XDG_CONFIG_HOME"),
                         qEnvironmentVariable("XDG_CONFIG_DIRS"), QDir::homePath());
}

LinkSettings LinkSettings::buildDefaults()
{
    return {QString::fromUtf8(POPUP_CONTACT_EMAIL), QString::fromUtf8(POPUP_PROGRAM1_NAME),
            QString::fromUtf8(POPUP_PROGRAM1_URL), QString::fromUtf8(POPUP_PROGRAM2_NAME),
            QString::fromUtf8(POPUP_PROGRAM2_URL)};
}

LinkSettings LinkSettings::current()
{
    return read(buildDefaults(), configFoldersFromEnvironment());
}

} // namespace popup
