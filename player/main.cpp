#include "BindingsFile.h"
#include "Fonts.h"
#include "Form1.h"
#include "Mpg123MediaPlayer.h"
#include "PlatformSelection.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "MessageBoxReporter.h"
#include "WindowMove.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovi"));
    registerFontSubstitutions();

    Mpg123MediaPlayer media;
    ProcessLauncher launcher;
    MessageBoxReporter messages;
    const PlayerServices services{
        launcher,
        messages,
        [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
        [] { QApplication::quit(); },
        [](QWidget *window) { return beginWindowMove(window); },
        BindingsFile::defaultPath(),
        media,
    };
    Form1 form1(services);
    form1.show();
    return QApplication::exec();
}
