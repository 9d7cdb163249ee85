#pragma once

#include "ColourDraw.h"
#include "PlayerServices.h"
#include "TrackBinding.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class CommandButton;
class Form2;
class QLabel;
class ShapeRect;
class TaggedTimer;
class TrackButton;

// The player's main window: two time displays, fifteen track buttons and the
// settings, about, other and exit buttons on a borderless strip that moves
// with a mouse press on its background.
class Form1 : public QWidget
{
    Q_OBJECT
  public:
    using TrackButtons = std::array<TrackButton *, kTrackSlots>;

    // Runs the start-up (Form_Load): labels the track buttons from the
    // bindings file. The window is centred on the screen when first shown.
    explicit Form1(const PlayerServices &services, QWidget *parent = nullptr);
    ~Form1() override;

    // CmdTrack(i), i = 0..14: caption, tag (path), enabled flag, back colour.
    [[nodiscard]] TrackButton *CmdTrack(int16_t i) const { return m_cmdTrack.at(i); }
    [[nodiscard]] const TrackButtons &trackButtons() const { return m_cmdTrack; }
    // Off after start-up, interval 25 ms; its tag is free for the playing slot.
    [[nodiscard]] TaggedTimer *Timer1() const { return m_timer1; }
    // LblLCD (play time) and LblLCD3 (remaining time), "00:00" at start.
    [[nodiscard]] QLabel *LblLCD() const { return m_lblLcd; }
    [[nodiscard]] QLabel *LblLCD3() const { return m_lblLcd3; }

    // The settings dialog while it is loaded, otherwise null.
    [[nodiscard]] Form2 *form2() const { return m_form2.get(); }

  protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void Form_Load();
    void CmdTrack_Click(int16_t index);
    void CmdTrack_MouseMove(int16_t index);
    void Timer1_Timer();
    void giveFocusBack();
    void CmdSet_Click();
    void Command1_Click();
    void Command2_Click();
    void CmdExit_Click();

    // Form2, created hidden (its own load step runs) when not loaded.
    Form2 &loadedForm2();
    void launchCompanion(const QString &name);
    void buildTrackButtons();
    void setTabOrder();

    const PlayerServices m_services;
    ShapeRect *const m_shape1;
    QLabel *const m_label3;
    QLabel *const m_label1;
    QLabel *const m_lblLcd;
    QLabel *const m_label2;
    QLabel *const m_lblLcd3;
    TrackButtons m_cmdTrack{};
    CommandButton *const m_cmdSet;
    CommandButton *const m_command1;
    CommandButton *const m_command2;
    CommandButton *const m_cmdExit;
    TaggedTimer *const m_timer1;
    std::unique_ptr<Form2> m_form2;
    ColourDraw m_draw;
    bool m_placed = false;
};
