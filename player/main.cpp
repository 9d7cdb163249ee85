#include "AudioSystem.h"
#include "BindingsFile.h"
#include "Fonts.h"
#include "MessageBoxReporter.h"
#include "PlatformSelection.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "TrackPlayer.h"
#include "WindowMove.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovi"));
    registerFontSubstitutions();

    audio::AudioSystem audioSystem;
    audio::TrackPlayer media(audioSystem);
    ProcessLauncher launcher;
    MessageBoxReporter messages;
    const plovi::PlayerServices services{
        launcher,
        messages,
        [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
        [] { QApplication::quit(); },
        [](QWidget *window) { return beginWindowMove(window); },
        plovi::BindingsFile::defaultPath(),
        media,
    };
    plovi::PlayerWindow form1(services);
    form1.show();
    return QApplication::exec();
}
