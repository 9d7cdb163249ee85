#pragma once

#include "ColourDraw.h"

#include <QString>
#include <QtCore/qnamespace.h>

#include <functional>
#include <memory>

class FileDialog;
class MediaPlayer;
class MessageReporter;
class ProgramLauncher;
class QWidget;

namespace plovi {

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
    // The bindings file (normally BindingsFile::defaultPath()).
    QString bindingsPath;
    // Plays the tracks (normally Mpg123MediaPlayer).
    MediaPlayer &media;
    // Source of u for the button colours; empty means the unseeded default.
    ColourDraw::UniformSource uniform{};
};

} // namespace plovi
