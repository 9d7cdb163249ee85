#include "CodePage.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackKeys.h"
#include "TrackSettingsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace plovi;

namespace {

QByteArray records(int bound)
{
    QByteArray file;
    for (int i = 0; i < 15; ++i) {
        file +=
            codepage::toGb18030(i < bound ? QStringLiteral("\"/music/t%1.mp3\",\"曲%1\"\r\n").arg(i)
                                          : QStringLiteral("\"\",\"\"\r\n"));
    }
    return file;
}

void tick(PlayerWindow &form)
{
    QVERIFY(QMetaObject::invokeMethod(form.Timer1(), "timeout", Qt::DirectConnection));
}

// The keys by their US-keyboard labels, slot by slot.
const QList<Qt::Key> kSlotKeys = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_5,
                                  Qt::Key_6, Qt::Key_7, Qt::Key_8, Qt::Key_9, Qt::Key_0,
                                  Qt::Key_Q, Qt::Key_W, Qt::Key_E, Qt::Key_R, Qt::Key_T};

} // namespace

class TestTrackKeys : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void interpret_data();
    void interpret();
    void everyKeyPlaysItsSlotThenStops();
    void keyOfDisabledButtonDoesNothing();
    void escapeStopsAsAClickWould();
    void escapeWhenIdleDoesNothing();
    void keysGoToTheWindowWhateverHasFocus();
    void keysDoNotReachTheSettingsRows();
    void shiftClickFadesThenStops();
    void shiftKeyFadesAndPlainClickStopsAtOnce();
    void shiftOnAnIdleButtonPlays();

  private:
    void makeWindow(int bound);
    std::unique_ptr<PlayerHarness> m_h;
    std::unique_ptr<PlayerWindow> m_form;
};

void TestTrackKeys::init()
{
    makeWindow(15);
}

void TestTrackKeys::makeWindow(int bound)
{
    m_form.reset();
    m_h = std::make_unique<PlayerHarness>();
    m_h->writeBindings(records(bound));
    m_form = std::make_unique<PlayerWindow>(m_h->services());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_h->media.setDuration(100.0);
}

void TestTrackKeys::interpret_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<uint>("scanCode");
    QTest::addColumn<bool>("usePosition");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("slot");
    using A = TrackKeys::Action;
    const int none = int(Qt::NoModifier);
    const int shift = int(Qt::ShiftModifier);
    QTest::newRow("1") << int(Qt::Key_1) << none << 0u << false << int(A::Click) << 0;
    QTest::newRow("0") << int(Qt::Key_0) << none << 0u << false << int(A::Click) << 9;
    QTest::newRow("T") << int(Qt::Key_T) << none << 0u << false << int(A::Click) << 14;
    QTest::newRow("Y is no key") << int(Qt::Key_Y) << none << 0u << false << int(A::None) << -1;
    QTest::newRow("Shift+Q") << int(Qt::Key_Q) << shift << 0u << false << int(A::Fade) << 10;
    QTest::newRow("Shift+1 as !") << int(Qt::Key_Exclam) << shift << 0u << false << int(A::Fade)
                                  << 0;
    QTest::newRow("! without Shift")
        << int(Qt::Key_Exclam) << none << 0u << false << int(A::None) << -1;
    QTest::newRow("Ctrl+1") << int(Qt::Key_1) << int(Qt::ControlModifier) << 0u << false
                            << int(A::None) << -1;
    QTest::newRow("Alt+1") << int(Qt::Key_1) << int(Qt::AltModifier) << 10u << true << int(A::None)
                           << -1;
    QTest::newRow("keypad 5") << int(Qt::Key_5) << int(Qt::KeypadModifier) << 0u << false
                              << int(A::Click) << 4;
    QTest::newRow("Esc") << int(Qt::Key_Escape) << none << 9u << true << int(A::Stop) << -1;
    QTest::newRow("Shift+Esc") << int(Qt::Key_Escape) << shift << 9u << true << int(A::None) << -1;
    // X keycodes: 10 is the key labelled 1, 19 the 0, 24 Q, 28 T; 87 keypad 1.
    QTest::newRow("AZERTY & at the 1")
        << int(Qt::Key_Ampersand) << none << 10u << true << int(A::Click) << 0;
    QTest::newRow("Cyrillic Е at T") << 0x0415 << none << 28u << true << int(A::Click) << 14;
    QTest::newRow("Cyrillic Й at Q, Shift") << 0x0419 << shift << 24u << true << int(A::Fade) << 10;
    QTest::newRow("Dvorak ' at Q")
        << int(Qt::Key_Apostrophe) << none << 24u << true << int(A::Click) << 10;
    QTest::newRow("Dvorak q elsewhere")
        << int(Qt::Key_Q) << none << 53u << true << int(A::None) << -1;
    QTest::newRow("keypad 1, NumLock off")
        << int(Qt::Key_End) << int(Qt::KeypadModifier) << 87u << true << int(A::Click) << 0;
    QTest::newRow("keypad 0") << int(Qt::Key_0) << int(Qt::KeypadModifier) << 90u << true
                              << int(A::Click) << 9;
    QTest::newRow("keypad 9") << int(Qt::Key_9) << int(Qt::KeypadModifier) << 81u << true
                              << int(A::Click) << 8;
    QTest::newRow("0 at the 0") << int(Qt::Key_0) << none << 19u << true << int(A::Click) << 9;
}

void TestTrackKeys::interpret()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(uint, scanCode);
    QFETCH(bool, usePosition);
    QFETCH(int, action);
    QFETCH(int, slot);
    const TrackKeys::Press press =
        TrackKeys::interpret(key, Qt::KeyboardModifiers(modifiers), scanCode, usePosition, false);
    QCOMPARE(int(press.action), action);
    if (action == int(TrackKeys::Action::Click) || action == int(TrackKeys::Action::Fade))
        QCOMPARE(int(press.slot), slot);
    QCOMPARE(
        int(TrackKeys::interpret(key, Qt::KeyboardModifiers(modifiers), scanCode, usePosition, true)
                .action),
        int(TrackKeys::Action::None));
}

void TestTrackKeys::everyKeyPlaysItsSlotThenStops()
{
    for (int slot = 0; slot < 15; ++slot) {
        QTest::keyClick(m_form.get(), kSlotKeys[slot]);
        QCOMPARE(m_h->media.assigned().last(), QStringLiteral("/music/t%1.mp3").arg(slot));
        QTRY_VERIFY(m_h->media.isPlaying());
        QCOMPARE(m_form->Timer1()->tag(), QString::number(slot));
        // Another slot's key while this one plays: its button is disabled.
        const int other = (slot + 1) % 15;
        QTest::keyClick(m_form.get(), kSlotKeys[other]);
        QCOMPARE(m_h->media.assigned().size(), 2 * slot + 1);
        QVERIFY(m_h->media.isPlaying());
        QTest::keyClick(m_form.get(), kSlotKeys[slot]);
        QVERIFY(!m_h->media.isPlaying());
        QVERIFY(!m_form->Timer1()->isActive());
        QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("-1"));
    }
}

void TestTrackKeys::keyOfDisabledButtonDoesNothing()
{
    makeWindow(3);
    QVERIFY(!m_form->CmdTrack(5)->isEnabled());
    QTest::keyClick(m_form.get(), Qt::Key_6);
    QTest::keyClick(m_form.get(), Qt::Key_T);
    QVERIFY(m_h->media.assigned().isEmpty());
    QVERIFY(!m_form->Timer1()->isActive());
    QTest::keyClick(m_form.get(), Qt::Key_3);
    QCOMPARE(m_h->media.assigned(), QStringList{"/music/t2.mp3"});
}

void TestTrackKeys::escapeStopsAsAClickWould()
{
    m_h->media.setDuration(245.678);
    QTest::keyClick(m_form.get(), Qt::Key_1);
    QTRY_VERIFY(m_h->media.isPlaying());
    QTest::keyClick(m_form.get(), Qt::Key_Escape);
    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "setFileName", "stop"}));
    QCOMPARE(m_h->media.assigned().last(), QStringLiteral("/music/t0.mp3"));
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("-1"));
    QTRY_COMPARE(m_form->LblLCD3()->text(), QStringLiteral("04:05"));
    for (const TrackButton *track : m_form->trackButtons())
        QVERIFY(track->isEnabled());
}

void TestTrackKeys::escapeWhenIdleDoesNothing()
{
    QTest::keyClick(m_form.get(), Qt::Key_Escape);
    QVERIFY(m_h->media.calls().isEmpty());
}

void TestTrackKeys::keysGoToTheWindowWhateverHasFocus()
{
    m_form->findChild<QWidget *>(QStringLiteral("CmdExit"))->setFocus();
    QTest::keyClick(m_form->findChild<QWidget *>(QStringLiteral("CmdExit")), Qt::Key_2);
    QCOMPARE(m_h->media.assigned(), QStringList{"/music/t1.mp3"});
    QTest::keyClick(m_form->CmdTrack(1), Qt::Key_Escape);
    QVERIFY(!m_h->media.isPlaying());
    QCOMPARE(m_h->endRequests, 0);
}

void TestTrackKeys::keysDoNotReachTheSettingsRows()
{
    bool typed = false;
    QTimer::singleShot(0, m_form.get(), [this, &typed] {
        TrackSettingsDialog *dialog = m_form->settingsDialog();
        auto *row = dialog->findChild<QLineEdit *>(QStringLiteral("TxtShortName_0"));
        if (row != nullptr) {
            row->setFocus();
            QTest::keyClick(row, Qt::Key_1);
            QTest::keyClick(row, Qt::Key_Escape);
            typed = true;
        }
        dialog->reject();
    });
    QTest::mouseClick(m_form->findChild<QPushButton *>(QStringLiteral("CmdSet")), Qt::LeftButton);
    QVERIFY(typed);
    QVERIFY(m_h->media.assigned().isEmpty());
}

void TestTrackKeys::shiftClickFadesThenStops()
{
    QTest::mouseClick(m_form->CmdTrack(4), Qt::LeftButton);
    QTRY_VERIFY(m_h->media.isPlaying());
    m_h->media.setPosition(10.0);
    QTest::mouseClick(m_form->CmdTrack(4), Qt::LeftButton, Qt::ShiftModifier);
    QVERIFY(m_h->media.isFading());
    QCOMPARE(m_h->media.fadeSeconds(), 2.0);
    // Still playing: the countdown goes on and the buttons stay locked.
    QVERIFY(m_form->Timer1()->isActive());
    QVERIFY(!m_form->CmdTrack(3)->isEnabled());
    m_h->media.setPosition(11.0);
    tick(*m_form);
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("01:29"));
    QVERIFY(m_form->Timer1()->isActive());
    // A second Shift+click does not start the fade again.
    QTest::mouseClick(m_form->CmdTrack(4), Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(m_h->media.calls().count(QStringLiteral("fadeOut")), 1);

    m_h->media.setPosition(12.0);
    m_h->media.endFade();
    tick(*m_form);
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("-1"));
    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "fadeOut", "setFileName", "stop"}));
    QTRY_COMPARE(m_form->LblLCD3()->text(), QStringLiteral("01:40"));
    for (const TrackButton *track : m_form->trackButtons())
        QVERIFY(track->isEnabled());
}

void TestTrackKeys::shiftKeyFadesAndPlainClickStopsAtOnce()
{
    QTest::keyClick(m_form.get(), Qt::Key_W);
    QTRY_VERIFY(m_h->media.isPlaying());
    QTest::keyClick(m_form.get(), Qt::Key_W, Qt::ShiftModifier);
    QVERIFY(m_h->media.isFading());
    QVERIFY(m_form->Timer1()->isActive());
    QTest::mouseClick(m_form->CmdTrack(11), Qt::LeftButton);
    QVERIFY(!m_h->media.isFading());
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "fadeOut", "setFileName", "stop"}));
    // The next track fades from the start again.
    QTest::keyClick(m_form.get(), Qt::Key_W);
    QTRY_VERIFY(m_h->media.isPlaying());
    QTest::keyClick(m_form.get(), Qt::Key_W, Qt::ShiftModifier);
    QVERIFY(m_h->media.isFading());
}

void TestTrackKeys::shiftOnAnIdleButtonPlays()
{
    QTest::mouseClick(m_form->CmdTrack(2), Qt::LeftButton, Qt::ShiftModifier);
    QCOMPARE(m_h->media.calls(), QStringList{"setFileName"});
    QVERIFY(m_form->Timer1()->isActive());
}

QTEST_MAIN(TestTrackKeys)
#include "tst_TrackKeys.moc"
