#include "Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

Result<void> installChineseTranslations(QCoreApplication &app)
{
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    // qt_zh_CN is the catalogue of every Qt module, qtbase_zh_CN the one that
    // holds the texts of widgets and dialogs.
    for (const QString &catalogue : {QStringLiteral("qt_zh_CN"), QStringLiteral("qtbase_zh_CN")}) {
        auto *translator = new QTranslator(&app);
        if (translator->load(catalogue, folder) &&
            QCoreApplication::installTranslator(translator)) {
            return {};
        }
        delete translator;
    }
    return Failure{QStringLiteral("no Chinese translation of Qt in %1").arg(folder)};
}
