#include "RuntimeError.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>

#include <cstdio>
#include <cstdlib>

void reportRuntimeError(const QString &message)
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr) {
        QString caption = QGuiApplication::applicationDisplayName();
        if (caption.isEmpty()) {
            caption = QCoreApplication::applicationName();
        }
        QMessageBox::critical(nullptr, caption, message);
    } else {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    std::exit(EXIT_FAILURE);
}
