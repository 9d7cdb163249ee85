#pragma once

#include "FileDialog.h"

#include <QStringList>
#include <QWidget>

#include <deque>
#include <memory>
#include <optional>

// What the user does in the file dialogs of one test, shared by every dialog
// the factory makes: each ShowOpen takes the next answer (a path, or nullopt
// for cancel); with no answer left it cancels.
struct FakeFileDialogScript
{
    std::deque<std::optional<QString>> answers;
    int created = 0;
    int shown = 0;
    QStringList filtersShown;
    // The dialog's FileName as each ShowOpen began.
    QStringList startedFrom;
};

class FakeFileDialog : public FileDialog
{
  public:
    explicit FakeFileDialog(std::shared_ptr<FakeFileDialogScript> script)
        : m_script(std::move(script))
    {
        ++m_script->created;
    }

    void setFilter(const QString &filter) override { m_filter = filter; }
    [[nodiscard]] QString filter() const override { return m_filter; }
    bool showOpen() override
    {
        ++m_script->shown;
        m_script->filtersShown << m_filter;
        m_script->startedFrom << m_fileName;
        if (m_script->answers.empty()) {
            return false;
        }
        const std::optional<QString> answer = m_script->answers.front();
        m_script->answers.pop_front();
        if (!answer) {
            return false;
        }
        m_fileName = *answer;
        return true;
    }
    [[nodiscard]] QString fileName() const override { return m_fileName; }
    void setFileName(const QString &fileName) override { m_fileName = fileName; }

    static auto factory(const std::shared_ptr<FakeFileDialogScript> &script)
    {
        return [script](QWidget *) -> std::unique_ptr<FileDialog> {
            return std::make_unique<FakeFileDialog>(script);
        };
    }

  private:
    std::shared_ptr<FakeFileDialogScript> m_script;
    QString m_filter;
    QString m_fileName;
};
