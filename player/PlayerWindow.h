#pragma once

// The player library behind Plovi: the main window (Form1) with its fifteen
// track buttons bound to audio files, the track settings dialog (Form2) that
// edits those bindings, the bindings file "yygj" they are kept in, and the
// LCD time text. Everything the windows do to the world comes in through
// PlayerServices, so tests run the whole player on fakes; Plovi's main.cpp
// passes the real services.

#include "ColourDraw.h"
#include "PlayerServices.h"
#include "Result.h"
#include "TrackBinding.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QObject;

namespace plovi {

class CommandButton;
class ShapeRect;
class TaggedTimer;
class TrackButton;
class TrackSettingsDialog;

// The player's main window Form1: two time displays, fifteen track buttons
// and the settings, about, other and exit buttons on a borderless strip that
// moves with a mouse press on its background.
class PlayerWindow : public QWidget
{
    Q_OBJECT
  public:
    using TrackButtons = std::array<TrackButton *, kTrackSlots>;

    // Runs the start-up (Form_Load): labels the track buttons from the
    // bindings file. The window is centred on its screen, ready to be shown.
    explicit PlayerWindow(const PlayerServices &services, QWidget *parent = nullptr);
    ~PlayerWindow() override;

    // CmdTrack(i), i = 0..14: caption, tag (path), enabled flag, back colour.
    [[nodiscard]] TrackButton *CmdTrack(int16_t i) const { return m_cmdTrack.at(i); }
    [[nodiscard]] const TrackButtons &trackButtons() const { return m_cmdTrack; }
    // Off after start-up, interval 25 ms; its tag is free for the playing slot.
    [[nodiscard]] TaggedTimer *Timer1() const { return m_timer1; }
    // LblLCD (play time) and LblLCD3 (remaining time), "00:00" at start.
    [[nodiscard]] QLabel *LblLCD() const { return m_lblLcd; }
    [[nodiscard]] QLabel *LblLCD3() const { return m_lblLcd3; }

    // The settings dialog (Form2) while it is loaded, otherwise null. Records
    // the start-up put into it load it here, hidden, on first use.
    [[nodiscard]] TrackSettingsDialog *settingsDialog();

  protected:
    void mousePressEvent(QMouseEvent *event) override;
    // The track keys and Esc (TrackKeys), whichever child has the focus.
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

  private:
    void Form_Load();
    void CmdTrack_Click(int16_t index);
    // A click or key on slot index, with Shift or not: nothing while its
    // button is disabled; Shift on the playing slot fades it out (once);
    // anything else is CmdTrack_Click.
    void pressTrack(int16_t index, bool shift);
    // The playing slot while Timer1 runs and its tag names one, else -1.
    [[nodiscard]] int16_t playingSlot() const;
    void CmdTrack_MouseMove(int16_t index);
    void Timer1_Timer();
    // The tick's flicker of the playing button, with the tick's draw r.
    void flickerPlayingTrack(int16_t r);
    void giveFocusBack();
    void CmdSet_Click();
    void Command1_Click();
    void Command2_Click();
    void CmdExit_Click();

    // Assigns file to the media component; label, if not null, shows the
    // length once the load has ended (at once where no load runs).
    void loadTrack(const QString &file, QLabel *label);
    // The media component's load ended: the label waiting for it shows the length.
    void showLoadedLength();

    // The one reader of the bindings file: hands every record to the settings
    // dialog (to m_form2Rows while it is not loaded) and returns the records
    // for the caller's own use.
    [[nodiscard]] Result<std::vector<TrackBinding>> readBindings();
    // Start-up captions and paths: each record labels its button, and a button
    // whose path is blank is disabled.
    void labelTracks(const std::vector<TrackBinding> &records);
    // After a save: a button shows its name and is enabled only when the name
    // is not blank. During playback the buttons stay locked to the playing
    // one and take the enabled flags of the save when playback ends.
    void applySavedBindings(const std::vector<TrackBinding> &records);
    // Once playback has ended and every button is enabled: applies the
    // flags of a save made during playback, if there was one.
    void releaseTracksAfterPlayback();
    // The caption shows only what fits: a bound button (its path not blank)
    // shows its whole name and path as a tooltip; an unbound one none. Clears
    // the missing-file mark until the next check.
    // Every tooltip ends with the line naming the button's key.
    static void showBindingTip(int16_t slot, TrackButton &track, const TrackBinding &binding);
    // Checks the files of the first count buttons that are bound, each on a
    // worker thread of its own; a button whose file is missing is marked and
    // its tooltip says so when the answer arrives. Answers of an earlier
    // check are dropped, and so are those arriving after the window is gone.
    void checkTrackFiles(size_t count);

    // Tells the media component which files the buttons are bound to now.
    void expectBoundTracks();

    // The settings dialog, created hidden (its own load step runs, then it
    // takes m_form2Rows) when not loaded.
    TrackSettingsDialog &loadedSettingsDialog();
    void launchCompanion(const QString &name);
    void buildTrackButtons();
    void setTabOrder();
    // Gives the keyboard focus to the first enabled control of the tab
    // order, from CmdTrack(0) on; it shows when the window is first shown.
    void focusFirstControl();

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
    std::unique_ptr<TrackSettingsDialog> m_form2;
    bool m_startFocusShown = false; // the start-up focus has been shown
    // What the rows of the settings dialog hold while it is not loaded: it is
    // created when first needed, not at start-up, which the first frame does
    // not wait for.
    std::vector<TrackBinding> m_form2Rows;
    ColourDraw m_draw;
    using EnabledFlags = std::array<bool, kTrackSlots>;
    // Set by a save during playback, applied and cleared when it ends.
    std::optional<EnabledFlags> m_enabledAfterPlayback;
    // A fade-out was asked for and playback has not stopped since.
    bool m_fading = false;
    // The LCD that shows the length of the load running, if any.
    QLabel *m_lengthLabel = nullptr;
    // Parent of the watchers of the latest file check; replaced by each check.
    std::unique_ptr<QObject> m_fileChecks;
};

} // namespace plovi
