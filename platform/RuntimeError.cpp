#include "RuntimeError.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>

void reportRuntimeError(int number, const QString &description)
{
    const QString text = QStringLiteral("运行时错误 '%1':\n\n%2").arg(number).arg(description);
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr) {
        QString caption = QGuiApplication::applicationDisplayName();
        if (caption.isEmpty()) {
            caption = QCoreApplication::applicationName();
        }
        QMessageBox::critical(nullptr, caption, text);
    } else {
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    std::exit(EXIT_FAILURE);
}
