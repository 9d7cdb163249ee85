#include "BindingsFile.h"
#include "Fonts.h"
#include "MessageBoxReporter.h"
#include "Mpg123MediaPlayer.h"
#include "PlatformSelection.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "QtFileDialog.h"
#include "Translations.h"
#include "WindowMove.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    selectQtPlatform();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Plovi"));
    registerFontSubstitutions();
    if (const Result<void> translated = installChineseTranslations(app); !translated) {
        qWarning("%s", qPrintable(translated.error()));
    }

    Mpg123MediaPlayer media;
    ProcessLauncher launcher;
    MessageBoxReporter messages;
    const plovi::PlayerServices services{
        launcher,
        messages,
        [](QWidget *parent) { return std::make_unique<QtFileDialog>(parent); },
        [] { QApplication::quit(); },
        [](QWidget *window, Qt::MouseButton button) { return beginWindowMove(window, button); },
        plovi::BindingsFile::defaultPath(),
        media,
    };
    plovi::PlayerWindow form1(services);
    form1.show();
    return QApplication::exec();
}
