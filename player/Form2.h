#pragma once

#include "PlayerServices.h"
#include "TrackBinding.h"

#include <QDialog>

#include <array>
#include <cstdint>
#include <memory>

class FileDialog;
class QLabel;
class QLineEdit;
class QPushButton;
class TrackButton;

// The track settings dialog: one row per slot with the path box (the
// 完整路经 array), "浏览", the name box and "删除"; then "保存并退出", "关于",
// "取消". One Form2 object is one loading of the dialog: the owner deletes it
// when it closes (unload), which also forgets the file dialog's file name.
class Form2 : public QDialog
{
    Q_OBJECT
  public:
    using TrackButtons = std::array<TrackButton *, kTrackSlots>;

    // tracks are the main window's CmdTrack buttons, refreshed by a save.
    Form2(const PlayerServices &services, const TrackButtons &tracks, QWidget *parent);
    ~Form2() override;

    // Fills row k (0..14) from record k of the bindings file.
    void setRecord(int16_t k, const TrackBinding &record);

    [[nodiscard]] QLineEdit *fullPathBox(int16_t i) const { return m_fullPath.at(i); }
    [[nodiscard]] QLineEdit *shortNameBox(int16_t i) const { return m_shortName.at(i); }

  protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

  private:
    void Form_Load();
    void CmdFindTrack_Click(int16_t index);
    void CmdDelete_Click(int16_t index);
    void CmdExit_Click();
    void CmdCancel_Click();
    void Command1_Click();

    void buildRows();
    void setTabOrder();

    const PlayerServices m_services;
    const TrackButtons m_tracks;
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
};
