#pragma once

#include "FileDialog.h"

#include <QPointer>

class QWidget;

// FileDialog through QFileDialog::getOpenFileName (Qt's own dialog, never the
// desktop's), modal over its parent.
class QtFileDialog : public FileDialog
{
  public:
    explicit QtFileDialog(QWidget *parent);

    void setFilter(const QString &filter) override;
    [[nodiscard]] QString filter() const override;
    [[nodiscard]] bool showOpen() override;
    [[nodiscard]] QString fileName() const override;
    void setFileName(const QString &fileName) override;

  private:
    QPointer<QWidget> m_parent;
    QString m_filter;
    QString m_fileName;
};
