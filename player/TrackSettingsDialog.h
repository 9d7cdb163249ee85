#pragma once

#include "BindingsFileSave.h"
#include "PlayerServices.h"
#include "TrackBinding.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class FileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class QUrl;

namespace plovi {

struct DropProbe;

// The track settings dialog Form2: one row per slot with the path box (the
// 完整路经 array), "浏览", the name box and "删除"; then "保存并退出", "关于",
// "取消". One object is one loading of the dialog: the owner deletes it when
// it closes (unload), which also forgets the file dialog's file name.
//
// Audio files dropped on a row (its label, path box or name box) fill its
// path box and those of the empty rows below it; only the boxes change.
class TrackSettingsDialog : public QDialog
{
    Q_OBJECT
  public:
    TrackSettingsDialog(const PlayerServices &services, QWidget *parent);
    ~TrackSettingsDialog() override;

    // Fills row k from records[k] for every record (at most kTrackSlots);
    // rows past the last record keep their text.
    void setRecords(const std::vector<TrackBinding> &records);

    [[nodiscard]] QLineEdit *fullPathBox(int16_t i) const { return m_fullPath.at(i); }
    [[nodiscard]] QLineEdit *shortNameBox(int16_t i) const { return m_shortName.at(i); }
    // Whether the files of the latest drop are still being probed.
    [[nodiscard]] bool isProbingDrop() const { return m_dropProbe != nullptr; }

    // Whether a save runs: the buttons are disabled, the boxes read-only, and
    // the dialog does not close until it ends.
    [[nodiscard]] bool isSaving() const { return m_saving; }

    // Closing waits for a running save: ignored while one runs.
    void done(int result) override;

  signals:
    // "保存并退出" wrote the bindings file, which now reads as these
    // kTrackSlots records; the dialog closes right after.
    void saved(const std::vector<plovi::TrackBinding> &records);

  protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void Form_Load();
    void CmdFindTrack_Click(int16_t index);
    void CmdDelete_Click(int16_t index);
    void CmdExit_Click();
    void CmdCancel_Click();
    void Command1_Click();

    // The end of a save run off this thread: closes on success, tells the
    // user otherwise.
    void saveFinished(const BindingsFileSave::Outcome &outcome);
    void setSaving(bool saving);
    [[nodiscard]] QString savePath() const;

    void buildRows();
    void setTabOrder();

    // The row whose label, path box or name box w is; -1 for any other.
    [[nodiscard]] int16_t dropRow(const QObject *w) const;
    // Probes the dropped files on a worker; placeDroppedFiles() takes what it
    // found once it is done.
    void dropFiles(int16_t row, const QList<QUrl> &urls);
    // The first file goes into row, the others into the rows below it whose
    // path is blank, in order. Each file arriving in a row with an empty name
    // box names it (title tag, else file name). Refusals and files left over
    // are told in one message.
    void placeDroppedFiles(int16_t row, const std::vector<DropProbe> &found);

    const PlayerServices m_services;
    const std::unique_ptr<FileDialog> m_cdiag;

    QLabel *const m_label1;
    QLabel *const m_label2;
    QLabel *const m_label3;
    std::array<QLabel *, kTrackSlots> m_lblTrackNo{};
    std::array<QLineEdit *, kTrackSlots> m_fullPath{};
    std::array<QPushButton *, kTrackSlots> m_cmdFindTrack{};
    std::array<QLineEdit *, kTrackSlots> m_shortName{};
    std::array<QPushButton *, kTrackSlots> m_cmdDelete{};
    QPushButton *const m_cmdExit;
    QPushButton *const m_command1;
    QPushButton *const m_cmdCancel;
    // The watcher of the probe of the latest drop while it runs.
    std::unique_ptr<QObject> m_dropProbe;

    bool m_saving = false;
    // The rows of the last save that was told what it would change: saving
    // these same rows again goes ahead.
    std::optional<std::vector<TrackBinding>> m_toldRows;
};

} // namespace plovi
