#pragma once

#include <QString>

#include <functional>

// Where the player reads and saves its bindings file "yygj".
//
// A portable copy (the build tree, a copy unpacked into a folder of the
// user's) keeps yygj beside the program. An installed copy reads and saves
// <user configuration folder>/plovi/yygj; as long as the user has no such
// file it reads the yygj beside the program if there is one, else nothing.
//
// A copy is installed when its program folder holds the marker file
// "plovi.installed" (installed beside the programs by `cmake --install` and by
// the package) or when this process may not write that folder (access W_OK).
// The marker is what keeps root, whom access() lets write any folder, from
// saving into /usr/lib/plovi.
class BindingsLocation
{
  public:
    // What the rule decides on.
    struct Inputs
    {
        QString programDir;      // absolute
        bool programDirWritable; // by this process
        QString xdgConfigHome;   // $XDG_CONFIG_HOME as set; empty when unset
        QString home;            // userHomeFolder(): absolute, or empty when there is none
    };
    // Whether a file (or a link to one) exists at an absolute path.
    using FileExists = std::function<bool(const QString &path)>;

    // The rule alone; touches nothing but fileExists.
    [[nodiscard]] static BindingsLocation resolve(const Inputs &inputs,
                                                  const FileExists &fileExists);
    // resolve() for a program in programDir, over the real file system and
    // this process's environment.
    [[nodiscard]] static BindingsLocation forProgramDir(const QString &programDir);
    // forProgramDir() for the running program's own folder.
    [[nodiscard]] static BindingsLocation forRunningProgram();

    // Name of the marker file beside the programs of an installed copy.
    [[nodiscard]] static QString markerName();

    // The file to read at start-up. It may be missing: the player then
    // starts with every slot unset.
    [[nodiscard]] const QString &readPath() const { return m_readPath; }
    // The file a save replaces. For an installed copy its folder may not
    // exist yet: the save creates it, with its parents, before writing.
    // Empty for an installed copy without a configuration folder (no home
    // folder, no absolute $XDG_CONFIG_HOME): it saves nowhere, and reads the
    // yygj beside the program if there is one.
    [[nodiscard]] const QString &savePath() const { return m_savePath; }
    [[nodiscard]] bool installed() const { return m_installed; }

  private:
    BindingsLocation(QString readPath, QString savePath, bool installed);

    QString m_readPath;
    QString m_savePath;
    bool m_installed;
};

// The user's configuration folder by the XDG base directory rule:
// xdgConfigHome when it is an absolute path, otherwise (unset, empty or
// relative, which the rule says to ignore) home/.config; empty when home is
// empty, relative or the root, which is no one's home. Shared with the
// pop-ups' link settings.
[[nodiscard]] QString userConfigHome(const QString &xdgConfigHome, const QString &home);
