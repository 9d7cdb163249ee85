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
// The file is read by inifile::read() (its format is described there): a
// file that is missing, not a regular file, longer than its cap, not valid
// UTF-8 or holding a line of another form counts as missing. A value that is
// empty, an address that is not plain "local@domain" (dot-separated parts of
// letters, digits and, before the '@', the marks !$'*+-^_`{|}~; nothing a
// mailto link reads as structure, such as '?', '&', '=', '%', '#' or '/'), or
// an address that is not http or https with a host, counts as missing. With
// no usable home folder the user's folder is skipped.
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
    // (userConfigHome(), left out when empty), then each absolute entry of xdgConfigDirs
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
