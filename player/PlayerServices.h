#pragma once

#include "ColourDraw.h"

#include <QString>
#include <QtCore/qnamespace.h>

#include <functional>
#include <memory>

class FileDialog;
class MessageReporter;
class ProgramLauncher;
class QWidget;

namespace audio {
class MediaPlayer;
}

namespace plovi {

class TrackFileCheck;

// What the player's windows do to the world, passed in so tests can pass fakes.
struct PlayerServices
{
    ProgramLauncher &launcher;
    MessageReporter &messages;
    // A new file dialog for each loading of the settings dialog (Form2), modal
    // over the given window.
    std::function<std::unique_ptr<FileDialog>(QWidget *parent)> makeFileDialog;
    // Ends the program (CmdExit of the main window).
    std::function<void()> endProgram;
    // Starts moving the window with the mouse pressed with button; the move
    // ends when that button is released (normally beginWindowMove).
    std::function<bool(QWidget *window, Qt::MouseButton button)> moveWindow;
    // The bindings file read while bindingsSavePath does not exist (normally
    // BindingsLocation's readPath(): yygj beside the program, or its seed).
    QString bindingsPath;
    // Plays the tracks (normally audio::TrackPlayer).
    audio::MediaPlayer &media;
    // Source of u for the button colours; empty means the unseeded default.
    ColourDraw::UniformSource uniform{};
    // Where saves go when that is not bindingsPath: an installed copy's file
    // in the user's configuration folder, created with its parents by the
    // first save and read from then on. Empty: saves replace bindingsPath.
    QString bindingsSavePath{};
    // Tells the bound tracks whose file is missing; called on worker threads
    // and kept alive by them (normally ReadableFileCheck).
    std::shared_ptr<const TrackFileCheck> fileCheck{};
    // An installed copy with no home folder: a save writes nothing and says
    // so (BindingsLocation's empty savePath()).
    bool savesNowhere = false;

    // The file the player reads now.
    [[nodiscard]] QString currentBindingsPath() const;
    // A track's path as the file system sees it: a relative path is taken
    // from the folder holding the bindings file the player reads now, so a
    // folder of tracks moves with its yygj; the file keeps the path as typed.
    // Absolute paths, blank ones and ones with a drive letter ("c:\\*.mp3")
    // stay as they are.
    [[nodiscard]] QString resolveTrackPath(const QString &path) const;
};

} // namespace plovi
