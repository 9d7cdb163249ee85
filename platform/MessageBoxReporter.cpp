#include "MessageBoxReporter.h"

#include <QGuiApplication>
#include <QMessageBox>

void MessageBoxReporter::showError(QWidget *parent, const QString &caption, const QString &text)
{
    QString title = caption;
    if (title.isEmpty()) {
        title = QGuiApplication::applicationDisplayName();
    }
    QMessageBox::warning(parent, title, text, QMessageBox::Ok);
}
