#pragma once

#include <QString>
#include <QStringList>

namespace popup {

// The targets behind the pop-ups' links: Nobix's contact address, Tarvel's
// two programs. The build options give the defaults; each may be changed
// after installation, key by key, in the INI file plovi/popup.ini of the XDG
// configuration folders:
//
//   [Nobix]
//   Email=me@example.com
//   [Tarvel]
//   Program1Name=Plovi 播放器
//   Program1Url=https://plovi.example.org/
//   Program2Name=幸运选号王
//   Program2Url=https://xuanhao.example.org/
//
// The file is UTF-8. Lines are "Key=Value" under a "[Section]", blank, or
// comments starting with ';' or '#'; spaces around keys and values are
// dropped; section and key names match in any case; a key given twice counts
// its last value. A value is taken verbatim otherwise (commas, quotes and
// backslashes included). A file that is not valid UTF-8 or holds any other
// line counts as missing. A value that is empty, an address without '@'
// between other characters or with white space, or an address that is not
// http or https with a host, counts as missing.
struct LinkSettings
{
    QString contactEmail; // bare address, without "mailto:"
    QString program1Name;
    QString program1Url;
    QString program2Name;
    QString program2Url;

    // defaults overridden key by key from <folder>/plovi/popup.ini: for each
    // key the first folder whose file has a usable value wins. Never fails.
    [[nodiscard]] static LinkSettings read(const LinkSettings &defaults,
                                           const QStringList &configFolders);

    // The XDG configuration folders, most important first: the user's
    // (userConfigHome()), then each absolute entry of xdgConfigDirs
    // (colon-separated; "/etc/xdg" when it is unset, empty or has no absolute
    // entry).
    [[nodiscard]] static QStringList
    configFolders(const QString &xdgConfigHome, const QString &xdgConfigDirs, const QString &home);
    // configFolders() over this process's environment.
    [[nodiscard]] static QStringList configFoldersFromEnvironment();

    // The build options (POPUP_CONTACT_EMAIL, POPUP_PROGRAM1_NAME, ...).
    [[nodiscard]] static LinkSettings buildDefaults();
    // What the pop-ups use: the build options overridden from the XDG
    // configuration folders of this process's environment, read at each call.
    [[nodiscard]] static LinkSettings current();

    friend bool operator==(const LinkSettings &, const LinkSettings &) = default;
};

} // namespace popup
