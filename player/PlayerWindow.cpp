#include "PlayerWindow.h"

#include "BindingsFile.h"
#include "CommandButton.h"
#include "Fonts.h"
#include "LcdTime.h"
#include "MediaPlayer.h"
#include "MessageReporter.h"
#include "Module1.h"
#include "PlayerMessages.h"
#include "ProgramLauncher.h"
#include "QBColor.h"
#include "ShapeRect.h"
#include "SysColors.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackFileCheck.h"
#include "TrackKeys.h"
#include "TrackSettingsDialog.h"
#include "Twips.h"

#include <QEvent>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPromise>
#include <QScreen>

#include <algorithm>
#include <system_error>
#include <thread>

namespace plovi {

namespace {

// Colours, 0x00BBGGRR.
constexpr int32_t kWindowBack = 0xFF80FF;  // RGB(255,128,255)
constexpr int32_t kShapeFill = 0xC0C0FF;   // RGB(255,192,192)
constexpr int32_t kShapeBorder = 0xFFC0FF; // RGB(255,192,255)
constexpr int32_t kBlue = 0xFF0000;        // RGB(0,0,255)
constexpr int32_t kOrange = 0x0080FF;      // RGB(255,128,0)
constexpr int32_t kCyan = 0xFFFF00;        // RGB(0,255,255)
constexpr int kShapeBorderWidth = 2;
constexpr int kTimer1Interval = 25;
// Length of the fade-out of Shift+click, in seconds.
constexpr double kFadeSeconds = 2.0;

void paint(QWidget *w, int32_t back, int32_t fore)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, toQColor(back));
    pal.setColor(QPalette::WindowText, toQColor(fore));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QLabel *makeLabel(const QString &name, const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QLabel *makeLcd(const QString &name, QWidget *parent)
{
    QLabel *lcd = makeLabel(name, QStringLiteral("00:00"), parent);
    paint(lcd, kCyan, kBlue);
    lcd->setFrameStyle(QFrame::Box | QFrame::Plain);
    lcd->setLineWidth(1);
    lcd->setFont(songTiFont(12, true));
    return lcd;
}

CommandButton *makeBottomButton(const QString &name, const QString &text, QWidget *parent)
{
    auto *button = new CommandButton(text, parent);
    button->setObjectName(name);
    return button;
}

} // namespace

PlayerWindow::PlayerWindow(const PlayerServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_services(services),
      m_shape1(new ShapeRect(kShapeFill, kShapeBorder, kShapeBorderWidth, this)),
      m_label3(makeLabel(QStringLiteral("Label3"), QString(), this)),
      m_label1(makeLabel(QStringLiteral("Label1"), QStringLiteral("播放时间："), this)),
      m_lblLcd(makeLcd(QStringLiteral("LblLCD"), this)),
      m_label2(makeLabel(QStringLiteral("Label2"), QStringLiteral("剩余时间："), this)),
      m_lblLcd3(makeLcd(QStringLiteral("LblLCD3"), this)),
      m_cmdSet(makeBottomButton(QStringLiteral("CmdSet"), QStringLiteral("设置"), this)),
      m_command1(makeBottomButton(QStringLiteral("Command1"), QStringLiteral("关于"), this)),
      m_command2(makeBottomButton(QStringLiteral("Command2"), QStringLiteral("其它"), this)),
      m_cmdExit(makeBottomButton(QStringLiteral("CmdExit"), QStringLiteral("退出"), this)),
      m_timer1(new TaggedTimer(this)), m_draw(services.uniform)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Plovi"));
    setWindowIcon(QIcon(QStringLiteral(":/player/plovi.ico")));
    // The window's default font: 宋体 9 pt, the Chinese system's interface font.
    setFont(songTiFont(9));
    paint(this, kWindowBack, 0);
    setFixedSize(twips::toPixelsX(1440), twips::toPixelsY(7620));
    // Binding happens in the settings dialog, where "取消" can undo it.
    setAcceptDrops(false);

    m_shape1->setObjectName(QStringLiteral("Shape1"));
    twips::setGeometry(m_shape1, 30, 30, 1395, 7545);

    paint(m_label3, kBlue, kBlue);
    m_label3->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_label3->setLineWidth(1);
    twips::setGeometry(m_label3, 60, 90, 1305, 1425);
    paint(m_label1, kBlue, kOrange);
    twips::setGeometry(m_label1, 210, 150, 915, 180);
    twips::setGeometry(m_lblLcd, 210, 360, 1005, 345);
    paint(m_label2, kBlue, kOrange);
    twips::setGeometry(m_label2, 210, 870, 915, 180);
    twips::setGeometry(m_lblLcd3, 210, 1080, 1005, 345);
    for (QLabel *label : {m_label3, m_label1, m_lblLcd, m_label2, m_lblLcd3}) {
        label->installEventFilter(this);
    }

    buildTrackButtons();

    m_cmdSet->setFont(songTiFont(9));
    m_cmdExit->setFont(songTiFont(9));
    m_command1->setFont(QFont());
    m_command2->setFont(QFont());
    twips::setGeometry(m_cmdSet, 60, 7000, 315, 525);
    twips::setGeometry(m_command1, 390, 7000, 315, 525);
    twips::setGeometry(m_command2, 720, 7000, 315, 525);
    twips::setGeometry(m_cmdExit, 1050, 7000, 315, 525);
    connect(m_cmdSet, &QPushButton::clicked, this, &PlayerWindow::CmdSet_Click);
    connect(m_command1, &QPushButton::clicked, this, &PlayerWindow::Command1_Click);
    connect(m_command2, &QPushButton::clicked, this, &PlayerWindow::Command2_Click);
    connect(m_cmdExit, &QPushButton::clicked, this, &PlayerWindow::CmdExit_Click);

    m_timer1->setObjectName(QStringLiteral("Timer1"));
    // 25 ms ticks drive the countdown; a coarse timer would let them drift.
    m_timer1->setTimerType(Qt::PreciseTimer);
    connect(m_timer1, &QTimer::timeout, this, &PlayerWindow::Timer1_Timer);
    connect(&m_services.media, &audio::MediaPlayer::loadFinished, this,
            &PlayerWindow::showLoadedLength);
    setTabOrder();

    Form_Load();
    focusFirstControl();

    // Placed before it is shown: a window that moves while a window manager
    // maps it can leave Qt with a stale window position, and the manager's
    // own move would then start from the wrong place.
    if (QScreen *screen = this->screen(); screen != nullptr) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

PlayerWindow::~PlayerWindow() = default;

void PlayerWindow::buildTrackButtons()
{
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        auto *track = new TrackButton(QStringLiteral("轨迹"), this);
        track->setObjectName(QStringLiteral("CmdTrack_%1").arg(i));
        track->setFont(songTiFont(9));
        twips::setGeometry(track, 60, 1560 + 360 * i, 1305, 315);
        // Hovering a button shows its track's length.
        track->setMouseTracking(true);
        track->setAcceptDrops(false);
        track->setToolTip(PlayerMessages::withTrackKey(QString(), TrackKeys::keyName(i)));
        connect(track, &QPushButton::clicked, this, [this, i] {
            pressTrack(i, QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier));
        });
        connect(track, &TrackButton::mouseMoved, this, [this, i] { CmdTrack_MouseMove(i); });
        m_cmdTrack[i] = track;
    }
}

void PlayerWindow::setTabOrder()
{
    std::vector<QWidget *> order;
    for (int16_t i = 0; i <= 11; ++i) {
        order.push_back(m_cmdTrack[i]);
    }
    order.push_back(m_cmdSet);
    order.push_back(m_cmdExit);
    for (int16_t i = 12; i < kTrackSlots; ++i) {
        order.push_back(m_cmdTrack[i]);
    }
    order.push_back(m_command1);
    order.push_back(m_command2);
    for (size_t k = 1; k < order.size(); ++k) {
        QWidget::setTabOrder(order[k - 1], order[k]);
    }
}

void PlayerWindow::focusFirstControl()
{
    QWidget *w = m_cmdTrack[0];
    do {
        if (w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) != 0) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
        w = w->nextInFocusChain();
    } while (w != m_cmdTrack[0]);
}

void PlayerWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Qt draws a focus frame only once the keyboard has moved the focus in
    // the window, and activating a window forgets that; the start-up focus
    // is the keyboard's, so it shows from the first activation on.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !m_startFocusShown) {
        m_startFocusShown = true;
        setAttribute(Qt::WA_KeyboardFocusChange);
        if (QWidget *focus = focusWidget(); focus != nullptr) {
            focus->update();
        }
    }
}

void PlayerWindow::Form_Load()
{
    for (TrackButton *track : m_cmdTrack) {
        track->setText(QStringLiteral("请设置音乐"));
    }
    m_cmdTrack[0]->setTag(QStringLiteral("c:\\*.mp3"));

    const Result<std::vector<TrackBinding>> read = readBindings();
    if (read) {
        labelTracks(read.value());
    }

    m_timer1->stop();
    m_timer1->setInterval(kTimer1Interval);

    if (!read) {
        // Shown once the event loop runs, over the window being set up.
        const QString text =
            PlayerMessages::readFailed(m_services.currentBindingsPath(), read.error());
        QMetaObject::invokeMethod(
            this, [this, text] { m_services.messages.showError(this, {}, text); },
            Qt::QueuedConnection);
    }
}

Result<std::vector<TrackBinding>> PlayerWindow::readBindings()
{
    Result<std::vector<TrackBinding>> read = BindingsFile(m_services.currentBindingsPath()).read();
    if (read && !read->empty()) {
        if (m_form2) {
            m_form2->setRecords(read.value());
        } else {
            const std::vector<TrackBinding> &records = read.value();
            m_form2Rows.resize(std::max(m_form2Rows.size(), records.size()));
            std::copy(records.begin(), records.end(), m_form2Rows.begin());
        }
    }
    return read;
}

void PlayerWindow::labelTracks(const std::vector<TrackBinding> &records)
{
    const size_t count = std::min(records.size(), m_cmdTrack.size());
    for (size_t k = 0; k < count; ++k) {
        TrackButton *track = m_cmdTrack[k];
        track->setText(records[k].ShortName);
        track->setTag(records[k].FullPath);
        showBindingTip(static_cast<int16_t>(k), *track, records[k]);
        if (trimSpaces(track->tag()).isEmpty()) {
            track->setEnabled(false);
        }
    }
    checkTrackFiles(count);
    expectBoundTracks();
}

void PlayerWindow::expectBoundTracks()
{
    QStringList paths;
    for (const TrackButton *track : m_cmdTrack) {
        if (!trimSpaces(track->tag()).isEmpty()) {
            paths.append(m_services.resolveTrackPath(track->tag()));
        }
    }
    m_services.media.expectTracks(paths);
}

void PlayerWindow::applySavedBindings(const std::vector<TrackBinding> &records)
{
    const size_t count = std::min(records.size(), m_cmdTrack.size());
    EnabledFlags named{};
    for (size_t k = 0; k < m_cmdTrack.size(); ++k) {
        named[k] = k < count && !trimSpaces(records[k].ShortName).isEmpty();
    }
    for (size_t k = 0; k < count; ++k) {
        TrackButton *track = m_cmdTrack[k];
        track->setText(named[k] ? records[k].ShortName : QString());
        track->setTag(records[k].FullPath);
        showBindingTip(static_cast<int16_t>(k), *track, records[k]);
    }
    checkTrackFiles(count);
    expectBoundTracks();
    if (m_timer1->isActive()) {
        // A hover or click on another slot would load its file over the
        // playing one; the names decide when playback ends.
        m_enabledAfterPlayback = named;
        return;
    }
    for (size_t k = 0; k < count; ++k) {
        m_cmdTrack[k]->setEnabled(named[k]);
    }
}

void PlayerWindow::releaseTracksAfterPlayback()
{
    if (!m_enabledAfterPlayback) {
        return;
    }
    for (size_t k = 0; k < m_cmdTrack.size(); ++k) {
        m_cmdTrack[k]->setEnabled((*m_enabledAfterPlayback)[k]);
    }
    m_enabledAfterPlayback.reset();
}

void PlayerWindow::showBindingTip(int16_t slot, TrackButton &track, const TrackBinding &binding)
{
    track.setFileMissing(false);
    const QString key = TrackKeys::keyName(slot);
    if (trimSpaces(binding.FullPath).isEmpty()) {
        track.setToolTip(PlayerMessages::withTrackKey(QString(), key));
        return;
    }
    const bool named = !trimSpaces(binding.ShortName).isEmpty();
    track.setToolTip(PlayerMessages::withTrackKey(
        PlayerMessages::trackToolTip(named ? binding.ShortName : QString(), binding.FullPath),
        key));
}

void PlayerWindow::checkTrackFiles(size_t count)
{
    m_fileChecks = std::make_unique<QObject>();
    if (!m_services.fileCheck) {
        return;
    }
    for (size_t k = 0; k < count && k < m_cmdTrack.size(); ++k) {
        TrackButton *const track = m_cmdTrack[k];
        if (trimSpaces(track->tag()).isEmpty()) {
            continue;
        }
        const QString path = m_services.resolveTrackPath(track->tag());
        const QString key = TrackKeys::keyName(static_cast<int16_t>(k));
        auto *watcher = new QFutureWatcher<bool>(m_fileChecks.get());
        connect(watcher, &QFutureWatcherBase::finished, watcher, [watcher, track, path, key] {
            if (watcher->future().resultCount() > 0 && !watcher->result()) {
                track->setFileMissing(true);
                track->setToolTip(
                    PlayerMessages::withTrackKey(PlayerMessages::missingFile(path), key));
            }
        });
        QPromise<bool> promise;
        watcher->setFuture(promise.future());
        try {
            // Detached: a check stuck on a dead mount holds up nothing, not
            // even the end of the program.
            std::thread([check = m_services.fileCheck, path,
                         answer = std::move(promise)]() mutable {
                answer.start();
                answer.addResult(check->isReadable(path));
                answer.finish();
            }).detach();
        } catch (const std::system_error &) {
            // No thread to spare: the button stays unmarked.
        }
    }
}

TrackSettingsDialog &PlayerWindow::loadedSettingsDialog()
{
    if (!m_form2) {
        m_form2 = std::make_unique<TrackSettingsDialog>(m_services, this);
        connect(m_form2.get(), &TrackSettingsDialog::saved, this,
                &PlayerWindow::applySavedBindings);
        m_form2->setRecords(m_form2Rows);
        m_form2Rows.clear();
    }
    return *m_form2;
}

TrackSettingsDialog *PlayerWindow::settingsDialog()
{
    return m_form2 || !m_form2Rows.empty() ? &loadedSettingsDialog() : nullptr;
}

void PlayerWindow::CmdSet_Click()
{
    const Result<std::vector<TrackBinding>> read = readBindings();
    TrackSettingsDialog &dialog = loadedSettingsDialog();
    if (!read) {
        m_services.messages.showError(
            this, {}, PlayerMessages::readFailed(m_services.currentBindingsPath(), read.error()));
    }
    dialog.exec();
    m_form2.reset();
    giveFocusBack();
}

void PlayerWindow::giveFocusBack()
{
    activateWindow();
    setFocus(Qt::OtherFocusReason);
}

void PlayerWindow::pressTrack(int16_t index, bool shift)
{
    if (!m_cmdTrack.at(index)->isEnabled()) {
        return;
    }
    if (shift && index == playingSlot()) {
        if (!m_fading) {
            m_fading = true;
            m_services.media.fadeOut(kFadeSeconds);
        }
        giveFocusBack();
        return;
    }
    CmdTrack_Click(index);
}

int16_t PlayerWindow::playingSlot() const
{
    if (!m_timer1->isActive()) {
        return -1;
    }
    bool ok = false;
    const int slot = m_timer1->tag().toInt(&ok);
    return ok && slot >= 0 && slot < kTrackSlots ? static_cast<int16_t>(slot) : int16_t{-1};
}

void PlayerWindow::keyPressEvent(QKeyEvent *event)
{
    const TrackKeys::Press press = TrackKeys::interpret(
        event->key(), event->modifiers(), event->nativeScanCode(),
        TrackKeys::platformGivesPositions(QGuiApplication::platformName()), event->isAutoRepeat());
    switch (press.action) {
    case TrackKeys::Action::None:
        QWidget::keyPressEvent(event);
        return;
    case TrackKeys::Action::Stop:
        // As a click on the playing button, which is enabled while it plays.
        if (const int16_t slot = playingSlot(); slot >= 0) {
            pressTrack(slot, false);
        }
        break;
    case TrackKeys::Action::Click:
    case TrackKeys::Action::Fade:
        pressTrack(press.slot, press.action == TrackKeys::Action::Fade);
        break;
    }
    event->accept();
}

// Playing state lives in the controls: Timer1 running means playing, its tag
// holds the playing slot, each button its path, enabled flag and colour.
void PlayerWindow::CmdTrack_Click(int16_t index)
{
    m_fading = false;
    int16_t r = 0;
    for (TrackButton *track : m_cmdTrack) {
        r = m_draw.draw();
        track->setBackColor(QBColor(static_cast<int16_t>(r - 2)));
    }
    TrackButton *const clicked = m_cmdTrack.at(index);
    clicked->setBackColor(QBColor(static_cast<int16_t>(r - 3)));

    audio::MediaPlayer &media = m_services.media;
    const QString file = m_services.resolveTrackPath(clicked->tag());
    if (!m_timer1->isActive()) {
        // The name the desktop's sound mixer shows for the track.
        media.setStreamTitle(clicked->text());
        // Plays as soon as it is loaded; the ticks wait for it.
        loadTrack(file, m_lblLcd);
        Module1::LockToTrack(m_cmdTrack, index);
        m_timer1->start();
        m_timer1->setTag(QString::number(index));
    } else {
        // Reloaded from the start and halted, so the next click plays it anew.
        loadTrack(file, m_lblLcd3);
        media.stop();
        m_timer1->stop();
        Module1::EnableAllTracks(m_cmdTrack);
        releaseTracksAfterPlayback();
        m_timer1->setTag(QString::number(-1));
        clicked->setBackColor(QBColor(static_cast<int16_t>(r - 4)));
    }
    giveFocusBack();
}

void PlayerWindow::loadTrack(const QString &file, QLabel *label)
{
    audio::MediaPlayer &media = m_services.media;
    media.setFileName(file);
    m_lengthLabel = label;
    if (!media.isLoading()) {
        showLoadedLength();
    }
}

void PlayerWindow::showLoadedLength()
{
    if (m_lengthLabel != nullptr) {
        m_lengthLabel->setText(Module1::LcdText(m_services.media.duration()));
        m_lengthLabel = nullptr;
    }
}

void PlayerWindow::Timer1_Timer()
{
    const int16_t r = m_draw.draw();
    audio::MediaPlayer &media = m_services.media;
    if (media.isLoading()) {
        // The 0 and 0 of a track still loading are no end: only the button
        // flickers until it arrives.
        flickerPlayingTrack(r);
        return;
    }
    const double duration = media.duration();
    const double position = media.currentPosition();
    m_lblLcd3->setText(Module1::LcdTextOfCentiseconds(duration * 100 - position * 100));

    // The component puts the position exactly on the duration at the end of a
    // track (and reads 0 for both when nothing loaded), so equality is the end.
    const double positionAgain = media.currentPosition();
    if (media.duration() - positionAgain == 0.0) {
        loadTrack(media.fileName(), nullptr);
        media.stop();
        m_fading = false;
        Module1::FinishPlayback(*m_timer1, m_cmdTrack);
        releaseTracksAfterPlayback();
        giveFocusBack();
        return;
    }
    // A fade-out ends with the stop a click on the playing button makes.
    if (const int16_t slot = playingSlot(); m_fading && slot >= 0 && media.hasFadedOut()) {
        CmdTrack_Click(slot);
        return;
    }
    flickerPlayingTrack(r);
}

void PlayerWindow::flickerPlayingTrack(int16_t r)
{
    bool ok = false;
    const int slot = m_timer1->tag().toInt(&ok);
    if (!ok || slot < 0 || slot >= kTrackSlots) {
        return;
    }
    TrackButton *const playing = m_cmdTrack.at(static_cast<size_t>(slot));
    const int32_t lit = QBColor(static_cast<int16_t>(r - 3));
    playing->setBackColor(
        QBColor(static_cast<int16_t>(playing->backColor() == lit ? r - 2 : r - 5)));
}

void PlayerWindow::CmdTrack_MouseMove(int16_t index)
{
    audio::MediaPlayer &media = m_services.media;
    const QString file = m_services.resolveTrackPath(m_cmdTrack.at(index)->tag());
    if (file == media.fileName()) {
        return;
    }
    // Loaded for its length only: the stop comes before any sample is played.
    loadTrack(file, m_lblLcd);
    media.stop();
}

void PlayerWindow::launchCompanion(const QString &name)
{
    if (const Result<void> started = m_services.launcher.launchProgram(name); !started) {
        m_services.messages.showError(this, {},
                                      PlayerMessages::launchFailed(name, started.error()));
    }
}

void PlayerWindow::Command1_Click()
{
    launchCompanion(QStringLiteral("Nobix.exe"));
}

void PlayerWindow::Command2_Click()
{
    launchCompanion(QStringLiteral("Tarvel.exe"));
}

void PlayerWindow::CmdExit_Click()
{
    m_services.endProgram();
}

void PlayerWindow::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    if (!m_services.moveWindow(this, event->button())) {
        QWidget::mousePressEvent(event);
    }
}

bool PlayerWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The labels take presses and do nothing with them, so they never move
    // the window.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        event->accept();
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

} // namespace plovi
