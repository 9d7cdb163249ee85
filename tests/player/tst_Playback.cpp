#include "AudioSystem.h"
#include "CodePage.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "QBColor.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackPlayer.h"
#include "TrackSettingsDialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QtTest>

using namespace plovi;

namespace {

// The value of u that makes the colour draw come out as r (14..17).
double uFor(int r)
{
    return (r - 14) / 4.0 + 0.1;
}

// Fifteen draws for one click: slot j gets 14 + (j + shift) % 4.
QList<double> clickDraws(int shift)
{
    QList<double> u;
    for (int j = 0; j < 15; ++j) {
        u << uFor(14 + (j + shift) % 4);
    }
    return u;
}

int drawOfSlot(int j, int shift)
{
    return 14 + (j + shift) % 4;
}

QByteArray record(const QString &path, const QString &name)
{
    return codepage::toGb18030(QStringLiteral("\"%1\",\"%2\"\r\n").arg(path, name));
}

// Runs one tick of Timer1 now, without waiting for the real one.
void tick(PlayerWindow &form)
{
    QVERIFY(QMetaObject::invokeMethod(form.Timer1(), "timeout", Qt::DirectConnection));
}

// The user's next step comes after the event loop has run, so a load that is
// not held has ended by then.
void settle()
{
    QCoreApplication::processEvents();
}

void click(PlayerWindow &form, int slot)
{
    QTest::mouseClick(form.CmdTrack(static_cast<int16_t>(slot)), Qt::LeftButton);
    settle();
}

void hover(PlayerWindow &form, int slot)
{
    QTest::mouseMove(form.CmdTrack(static_cast<int16_t>(slot)), QPoint(5, 5));
    QTest::mouseMove(form.CmdTrack(static_cast<int16_t>(slot)), QPoint(6, 6));
    settle();
}

QList<bool> enabledFlags(const PlayerWindow &form)
{
    QList<bool> flags;
    for (const TrackButton *track : form.trackButtons()) {
        flags << track->isEnabled();
    }
    return flags;
}

QList<bool> onlyEnabled(int slot)
{
    QList<bool> flags(15, false);
    flags[slot] = true;
    return flags;
}

const QList<bool> kAllEnabled(15, true);

} // namespace

class TestPlayback : public QObject
{
    Q_OBJECT
  private slots:
    void init();
    void clickWhenIdlePlays();
    void clickWhilePlayingStops();
    void tickShortOfTheEnd_data();
    void tickShortOfTheEnd();
    void tickAtTheEnd();
    void unloadableFileEndsAtFirstTick();
    void clickOnEmptyPath();
    void hoverLoadsOnceAndStaysSilent();
    void hoverOverLoadedFileDoesNothing();
    void saveDuringPlaybackKeepsOtherTracksLocked_data();
    void saveDuringPlaybackKeepsOtherTracksLocked();
    void timer1KeepsTickingDuringSettings();
    void ticksWaitForTheLoad();
    void clickAfterStalledHoverPlaysTheClickedTrack();
    void clickDuringItsHoverLoadPlaysWhenLoaded();
    void stopDuringTheLoadShowsTheLengthWhenLoaded();
    void realTrackPlaysToItsEnd();

  private:
    std::unique_ptr<PlayerHarness> m_h;
    std::unique_ptr<PlayerWindow> m_form;
};

void TestPlayback::init()
{
    m_form.reset();
    m_h = std::make_unique<PlayerHarness>();
    QByteArray file;
    for (int i = 0; i < 15; ++i) {
        file += record(QStringLiteral("/music/t%1.mp3").arg(i), QStringLiteral("曲%1").arg(i));
    }
    m_h->writeBindings(file);
    m_form = std::make_unique<PlayerWindow>(m_h->services());
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void TestPlayback::clickWhenIdlePlays()
{
    m_h->media.setDuration(245.678);
    m_h->uniforms = clickDraws(1);
    click(*m_form, 3);

    for (int j = 0; j < 15; ++j) {
        const int expected = j == 3 ? QBColor(static_cast<int16_t>(drawOfSlot(14, 1) - 3))
                                    : QBColor(static_cast<int16_t>(drawOfSlot(j, 1) - 2));
        QCOMPARE(m_form->CmdTrack(static_cast<int16_t>(j))->backColor(), expected);
    }
    QCOMPARE(m_h->media.assigned(), QStringList{"/music/t3.mp3"});
    QVERIFY(m_h->media.isPlaying());
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(3));
    QVERIFY(m_form->Timer1()->isActive());
    QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("3"));
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("04:05"));
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("00:00"));
}

void TestPlayback::clickWhilePlayingStops()
{
    m_h->media.setDuration(245.678);
    click(*m_form, 3);
    m_h->media.setPosition(100.0);
    m_h->uniforms = clickDraws(2);
    click(*m_form, 3);

    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "setFileName", "stop"}));
    QCOMPARE(m_h->media.assigned().last(), QStringLiteral("/music/t3.mp3"));
    QVERIFY(!m_h->media.isPlaying());
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("-1"));
    QCOMPARE(enabledFlags(*m_form), kAllEnabled);
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("04:05"));
    QCOMPARE(m_form->CmdTrack(3)->backColor(),
             QBColor(static_cast<int16_t>(drawOfSlot(14, 2) - 4)));
    QCOMPARE(m_form->CmdTrack(0)->backColor(), QBColor(static_cast<int16_t>(drawOfSlot(0, 2) - 2)));
}

void TestPlayback::tickShortOfTheEnd_data()
{
    QTest::addColumn<int>("r");
    QTest::addColumn<bool>("litBefore");
    QTest::addColumn<int>("colourAfter");
    // Lit with palette(r - 3): flickers to palette(r - 2); otherwise palette(r - 5).
    QTest::newRow("r 14, lit") << 14 << true << 12;
    QTest::newRow("r 17, lit") << 17 << true << 15;
    QTest::newRow("r 14, not lit") << 14 << false << 9;
    QTest::newRow("r 17, not lit") << 17 << false << 12;
}

void TestPlayback::tickShortOfTheEnd()
{
    QFETCH(int, r);
    QFETCH(bool, litBefore);
    QFETCH(int, colourAfter);
    m_h->media.setDuration(245.678);
    click(*m_form, 6);
    m_h->media.setPosition(10.0);
    m_form->CmdTrack(6)->setBackColor(litBefore ? QBColor(static_cast<int16_t>(r - 3)) : 0x123456);
    m_h->uniforms = {uFor(r)};
    tick(*m_form);

    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("03:55"));
    QCOMPARE(m_form->CmdTrack(6)->backColor(), QBColor(static_cast<int16_t>(colourAfter)));
    QVERIFY(m_form->Timer1()->isActive());
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(6));
}

void TestPlayback::tickAtTheEnd()
{
    m_h->media.setDuration(245.678);
    click(*m_form, 2);
    m_h->media.finish();
    const int32_t colour = m_form->CmdTrack(2)->backColor();
    tick(*m_form);

    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("00:00"));
    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "setFileName", "stop"}));
    QCOMPARE(m_h->media.assigned(), (QStringList{"/music/t2.mp3", "/music/t2.mp3"}));
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_form->Timer1()->tag(), QStringLiteral("2"));
    QCOMPARE(enabledFlags(*m_form), kAllEnabled);
    QCOMPARE(m_form->CmdTrack(2)->backColor(), colour);
}

void TestPlayback::unloadableFileEndsAtFirstTick()
{
    m_h->media.setDuration(245.678);
    m_h->media.setUnloadable({"/music/t4.mp3"});
    click(*m_form, 4);
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("00:00"));
    QVERIFY(m_form->Timer1()->isActive());
    tick(*m_form);
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(enabledFlags(*m_form), kAllEnabled);
    QVERIFY(m_form->isVisible());
}

void TestPlayback::clickOnEmptyPath()
{
    // Slot 0 with no path: disabled at start-up, enabled after a stop.
    m_h->writeBindings(record(QString(), QStringLiteral("空")) +
                       record(QStringLiteral("/music/a.mp3"), QStringLiteral("甲")));
    m_form = std::make_unique<PlayerWindow>(m_h->services());
    QVERIFY(!m_form->CmdTrack(0)->isEnabled());
    m_h->media.setDuration(60.0);
    click(*m_form, 1);
    click(*m_form, 1);
    QVERIFY(m_form->CmdTrack(0)->isEnabled());

    click(*m_form, 0);
    QVERIFY(m_form->Timer1()->isActive());
    QCOMPARE(m_h->media.fileName(), QString());
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("00:00"));
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->Timer1()->isActive(), 1000);
    QCOMPARE(enabledFlags(*m_form), kAllEnabled);
}

void TestPlayback::hoverLoadsOnceAndStaysSilent()
{
    m_h->media.setDuration(59.996);
    hover(*m_form, 5);
    QCOMPARE(m_h->media.calls(), (QStringList{"setFileName", "stop"}));
    QCOMPARE(m_h->media.fileName(), QStringLiteral("/music/t5.mp3"));
    QVERIFY(!m_h->media.isPlaying());
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("01:00"));
    QVERIFY(!m_form->Timer1()->isActive());

    hover(*m_form, 5);
    QCOMPARE(m_h->media.setFileNameCalls(), 1);

    hover(*m_form, 7);
    QCOMPARE(m_h->media.assigned(), (QStringList{"/music/t5.mp3", "/music/t7.mp3"}));
    QCOMPARE(m_h->media.stopCalls(), 2);
}

void TestPlayback::hoverOverLoadedFileDoesNothing()
{
    m_h->media.setDuration(10.0);
    click(*m_form, 8);
    click(*m_form, 8);
    const int assignments = m_h->media.setFileNameCalls();
    const QString before = m_form->LblLCD()->text();
    m_h->media.setDuration(99.0);
    hover(*m_form, 8);
    QCOMPARE(m_h->media.setFileNameCalls(), assignments);
    QCOMPARE(m_form->LblLCD()->text(), before);
}

void TestPlayback::saveDuringPlaybackKeepsOtherTracksLocked_data()
{
    QTest::addColumn<bool>("byClick"); // stopped by a click, else ended by itself
    QTest::newRow("track ends") << false;
    QTest::newRow("stopped by click") << true;
}

// A save while slot 0 plays relabels the buttons but leaves the others locked,
// so no hover or click can load another file over the playing one. When
// playback ends, a button is enabled when the save gave it a name.
void TestPlayback::saveDuringPlaybackKeepsOtherTracksLocked()
{
    QFETCH(bool, byClick);
    m_h->media.setDuration(120.0);
    click(*m_form, 0);
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(0));

    QTimer::singleShot(0, m_form.get(), [this] {
        TrackSettingsDialog *dialog = m_form->settingsDialog();
        dialog->shortNameBox(3)->setText(QStringLiteral("新名"));
        dialog->fullPathBox(3)->setText(QStringLiteral("/music/new.mp3"));
        dialog->shortNameBox(7)->setText(QString());
        QTest::mouseClick(dialog->findChild<QPushButton *>("CmdExit"), Qt::LeftButton);
    });
    QTest::mouseClick(m_form->findChild<QPushButton *>("CmdSet"), Qt::LeftButton);

    QCOMPARE(m_form->CmdTrack(3)->text(), QStringLiteral("新名"));
    QCOMPARE(m_form->CmdTrack(3)->tag(), QStringLiteral("/music/new.mp3"));
    QCOMPARE(m_form->CmdTrack(7)->text(), QString());
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(0));
    QVERIFY(m_form->Timer1()->isActive());

    // Over a locked button the pointer loads nothing; the music plays on.
    hover(*m_form, 9);
    QCOMPARE(m_h->media.assigned(), QStringList{"/music/t0.mp3"});
    QVERIFY(m_h->media.isPlaying());
    m_h->media.setPosition(60.0);
    tick(*m_form);
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("01:00"));

    if (byClick) {
        click(*m_form, 0);
    } else {
        m_h->media.finish();
        tick(*m_form);
    }
    QVERIFY(!m_form->Timer1()->isActive());
    QList<bool> named = kAllEnabled;
    named[7] = false;
    QCOMPARE(enabledFlags(*m_form), named);

    // Without another save the next playback ends with every button enabled.
    click(*m_form, 3);
    QCOMPARE(m_h->media.assigned().last(), QStringLiteral("/music/new.mp3"));
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(3));
    m_h->media.finish();
    tick(*m_form);
    QCOMPARE(enabledFlags(*m_form), kAllEnabled);
}

void TestPlayback::timer1KeepsTickingDuringSettings()
{
    m_h->media.setDuration(120.0);
    click(*m_form, 1);
    m_h->media.setPosition(60.0);
    QString shownWhileOpen;
    QTimer::singleShot(200, m_form.get(), [this, &shownWhileOpen] {
        shownWhileOpen = m_form->LblLCD3()->text();
        QTest::mouseClick(m_form->settingsDialog()->findChild<QPushButton *>("CmdCancel"),
                          Qt::LeftButton);
    });
    QTest::mouseClick(m_form->findChild<QPushButton *>("CmdSet"), Qt::LeftButton);
    QCOMPARE(shownWhileOpen, QStringLiteral("01:00"));
}

// While the clicked track loads, its duration and position read 0: no end
// for the tick, which leaves the LCD as it was and only flickers the button.
void TestPlayback::ticksWaitForTheLoad()
{
    m_h->media.setDuration(245.678);
    m_h->media.holdLoads(true);
    m_form->LblLCD3()->setText(QStringLiteral("01:02"));
    click(*m_form, 3);
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("00:00"));
    for (int i = 0; i < 3; ++i) {
        // Lit with palette(r - 3) of r = 16: flickers to palette(r - 2).
        m_form->CmdTrack(3)->setBackColor(QBColor(13));
        m_h->uniforms = {uFor(16)};
        tick(*m_form);
        QVERIFY(m_form->Timer1()->isActive());
        QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("01:02"));
        QCOMPARE(m_form->CmdTrack(3)->backColor(), QBColor(14));
    }
    QCOMPARE(m_h->media.calls(), QStringList{"setFileName"});

    m_h->media.endLoad();
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("04:05"));
    QVERIFY(m_h->media.isPlaying());
    m_h->media.setPosition(5.0);
    tick(*m_form);
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("04:00"));
    m_h->media.finish();
    tick(*m_form);
    QVERIFY(!m_form->Timer1()->isActive());
}

// A hover over a track whose load never ends (a stalled share), then a click
// on another: the click's track plays and shows its length; the hover's
// length never shows.
void TestPlayback::clickAfterStalledHoverPlaysTheClickedTrack()
{
    m_h->media.setDuration(59.996);
    m_h->media.holdLoads(true);
    m_form->LblLCD()->setText(QStringLiteral("09:09"));
    hover(*m_form, 5);
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("09:09"));
    click(*m_form, 7);
    QCOMPARE(m_h->media.assigned(), (QStringList{"/music/t5.mp3", "/music/t7.mp3"}));
    m_h->media.endLoad();
    QVERIFY(m_h->media.isPlaying());
    QCOMPARE(m_h->media.fileName(), QStringLiteral("/music/t7.mp3"));
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("01:00"));
    QCOMPARE(enabledFlags(*m_form), onlyEnabled(7));
}

void TestPlayback::clickDuringItsHoverLoadPlaysWhenLoaded()
{
    m_h->media.setDuration(245.678);
    m_h->media.holdLoads(true);
    hover(*m_form, 2);
    click(*m_form, 2);
    QVERIFY(!m_h->media.isPlaying());
    m_h->media.endLoad();
    QVERIFY(m_h->media.isPlaying());
    QCOMPARE(m_form->LblLCD()->text(), QStringLiteral("04:05"));
    QVERIFY(m_form->Timer1()->isActive());
}

// The stop's reload shows the full length on the countdown once it arrives.
void TestPlayback::stopDuringTheLoadShowsTheLengthWhenLoaded()
{
    m_h->media.setDuration(245.678);
    click(*m_form, 4);
    m_h->media.setPosition(100.0);
    tick(*m_form);
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("02:25"));
    m_h->media.holdLoads(true);
    click(*m_form, 4);
    QVERIFY(!m_form->Timer1()->isActive());
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("02:25"));
    m_h->media.endLoad();
    QVERIFY(!m_h->media.isPlaying());
    QCOMPARE(m_form->LblLCD3()->text(), QStringLiteral("04:05"));
}

// The real component on SDL's dummy driver: a one-second track plays through
// real 25 ms ticks and releases every button by itself.
void TestPlayback::realTrackPlaysToItsEnd()
{
    const QString track = QStringLiteral(PLOVI_FIXTURES_DIR "/audio/chord_cbr.mp3");
    PlayerHarness h;
    h.writeBindings(record(track, QStringLiteral("和弦")));
    audio::AudioSystem audioSystem;
    audio::TrackPlayer media(audioSystem);
    PlayerWindow form(h.services(nullptr, &media));
    form.show();
    click(form, 0);
    QTRY_COMPARE_WITH_TIMEOUT(form.LblLCD()->text(), QStringLiteral("00:01"), 3000);
    QVERIFY(form.Timer1()->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(
        form.LblLCD3()->text() == QStringLiteral("00:00") && !form.Timer1()->isActive(), 5000);
    QCOMPARE(enabledFlags(form), kAllEnabled);
    QCOMPARE(media.fileName(), track);
    QCOMPARE(media.currentPosition(), 0.0);
}

QTEST_MAIN(TestPlayback)
#include "tst_Playback.moc"
