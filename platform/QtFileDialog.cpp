#include "QtFileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

QtFileDialog::QtFileDialog(QWidget *parent) : m_parent(parent) {}

void QtFileDialog::setFilter(const QString &filter)
{
    m_filter = filter;
}

QString QtFileDialog::filter() const
{
    return m_filter;
}

bool QtFileDialog::showOpen()
{
    const QString startIn = m_fileName.isEmpty() ? QString() : QFileInfo(m_fileName).absolutePath();
    // Qt's own dialog, which speaks the programs' Chinese whatever the
    // desktop's language (a native one follows the user's locale).
    const QString picked = QFileDialog::getOpenFileName(m_parent, QString(), startIn, m_filter,
                                                        nullptr, QFileDialog::DontUseNativeDialog);
    if (picked.isEmpty()) {
        return false;
    }
    m_fileName = picked;
    return true;
}

QString QtFileDialog::fileName() const
{
    return m_fileName;
}

void QtFileDialog::setFileName(const QString &fileName)
{
    m_fileName = fileName;
}
