#include "LinkSettings.h"

#include "AppPaths.h"
#include "BindingsLocation.h"
#include "IniFile.h"

#include <QDir>
#include <QUrl>

#include <iterator>
#include <optional>

namespace popup {

namespace {

bool usableName(const QString &value)
{
    return !value.isEmpty();
}

// A character of an address's local part: a letter, digit or one of the
// marks RFC 5322 allows there, less those a mailto link reads as structure
// ('?' starts headers, '&' and '=' separate them, '%' escapes, '#' starts a
// fragment, '/' a path) or that need quoting.
bool localCharacter(QChar c)
{
    static const QString kMarks = QStringLiteral("!$'*+-^_`{|}~");
    return c.isLetterOrNumber() || kMarks.contains(c);
}

bool domainCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'-';
}

// Dot-separated parts, none empty, each of allowed characters only.
bool dotted(QStringView text, bool (*allowed)(QChar))
{
    for (QStringView part : text.split(u'.')) {
        if (part.isEmpty()) {
            return false;
        }
        for (const QChar c : part) {
            if (!allowed(c)) {
                return false;
            }
        }
    }
    return true;
}

// A plain address "local@domain", nothing a mail program could take for
// headers or attachments.
bool usableEmail(const QString &value)
{
    const qsizetype at = value.indexOf(u'@');
    if (at <= 0 || value.indexOf(u'@', at + 1) >= 0) {
        return false;
    }
    const QStringView local = QStringView(value).left(at);
    const QStringView domain = QStringView(value).mid(at + 1);
    return dotted(local, localCharacter) && dotted(domain, domainCharacter);
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
        const std::optional<inifile::Values> values =
            inifile::read(QDir(folder).filePath(QStringLiteral("plovi/popup.ini")));
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
    QStringList folders;
    if (const QString user = userConfigHome(xdgConfigHome, home); !user.isEmpty()) {
        folders << user;
    }
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
                         qEnvironmentVariable("XDG_CONFIG_DIRS"), userHomeFolder());
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
