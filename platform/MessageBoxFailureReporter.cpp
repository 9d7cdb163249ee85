#include "MessageBoxFailureReporter.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QString>

MessageBoxFailureReporter::MessageBoxFailureReporter(QWidget *parent) : m_parent(parent) {}

void MessageBoxFailureReporter::reportFailure(std::string_view caption, std::string_view text)
{
    const QString title = caption.empty()
                              ? QGuiApplication::applicationDisplayName()
                              : QString::fromUtf8(caption.data(), qsizetype(caption.size()));
    QMessageBox::warning(m_parent.data(), title,
                         QString::fromUtf8(text.data(), qsizetype(text.size())), QMessageBox::Ok);
}
