#include "QtMessageReporter.h"

#include <QMessageBox>

void QtMessageReporter::showError(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QStringLiteral("Plovi"), text);
}
