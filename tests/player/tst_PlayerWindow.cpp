#include "CodePage.h"
#include "Fonts.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "SysColors.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackSettingsDialog.h"
#include "Twips.h"

#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QToolTip>
#include <QtTest>

using namespace plovi;

namespace {

QByteArray record(const QString &path, const QString &name)
{
    return codepage::toGb18030(QStringLiteral("\"%1\",\"%2\"\r\n").arg(path, name));
}

QStringList focusOrder(QWidget *first, int count)
{
    QStringList names;
    QWidget *w = first;
    while (names.size() < count) {
        names << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while ((w->focusPolicy() & Qt::TabFocus) == 0);
    }
    return names;
}

void pressAt(QWidget *window, QPoint pos, Qt::MouseButton button)
{
    QWidget *target = window->childAt(pos);
    if (target == nullptr) {
        target = window;
    }
    QTest::mousePress(target, button, {}, target->mapFrom(window, pos));
    QTest::mouseRelease(target, button, {}, target->mapFrom(window, pos));
}

// The last line of every track button's tooltip, naming its key.
QString keyLine(const char *key)
{
    return QStringLiteral("按键：%1（Shift+%1 或 Shift+单击：淡出后停止）").arg(QLatin1String(key));
}

} // namespace

class TestPlayerWindow : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void startUp_data();
    void startUp();
    void startUpFillsHiddenSettingsRows();
    void settingsDialogNotBuiltAtStartUp();
    void settingsOpenedLaterShowsStartUpRecords();
    void timer1AfterStartUp();
    void layout_data();
    void layout();
    void tabOrder();
    void focusAtStartUp_data();
    void focusAtStartUp();
    void pressMovesWindow_data();
    void pressMovesWindow();
    void companions_data();
    void companions();
    void companionFailureKeepsRunning_data();
    void companionFailureKeepsRunning();
    void exitEndsProgram();
    void trackBackColourShowsExactly();
    void centredOnFirstShow();
    void unreadableFileReported();
    void appliesSavedBindings();
    void toolTipsOfBoundTracks();
    void toolTipsFollowEverySave();
    void iconHasTwoSizes();
    void labelsShowTheirColoursExactly_data();
    void labelsShowTheirColoursExactly();
};

void TestPlayerWindow::initTestCase()
{
    // As Plovi's main does before the first window.
    registerFontSubstitutions();
}

void TestPlayerWindow::startUp_data()
{
    QTest::addColumn<bool>("fileExists");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("captions"); // slots 0, 1, 4, 5, 14
    QTest::addColumn<QStringList>("tags");     // same slots
    QTest::addColumn<QString>("enabled");      // all 15 slots
    QTest::addColumn<bool>("form2Loaded");

    const QString prompt = QStringLiteral("请设置音乐");
    const QStringList prompts{prompt, prompt, prompt, prompt, prompt};
    const QStringList defaultTags{"c:\\*.mp3", "", "", "", ""};
    const QString allEnabled(15, '1');

    QTest::newRow("no file") << false << QByteArray() << prompts << defaultTags << allEnabled
                             << false;
    QTest::newRow("empty file") << true << QByteArray() << prompts << defaultTags << allEnabled
                                << false;

    QByteArray five;
    for (int k = 0; k < 5; ++k) {
        five += record(QStringLiteral("/m/%1.mp3").arg(k), QStringLiteral("n%1").arg(k));
    }
    QTest::newRow("five records") << true << five << QStringList{"n0", "n1", "n4", prompt, prompt}
                                  << QStringList{"/m/0.mp3", "/m/1.mp3", "/m/4.mp3", "", ""}
                                  << allEnabled << true;

    QTest::newRow("fifteen, first unnamed")
        << true << record("/m/a.mp3", "") + record("", "").repeated(14)
        << QStringList{"", "", "", "", ""} << QStringList{"/m/a.mp3", "", "", "", ""}
        << QString("1") + QString(14, '0') << true;

    QTest::newRow("path of spaces only")
        << true << record("   ", "name") << QStringList{"name", prompt, prompt, prompt, prompt}
        << QStringList{"   ", "", "", "", ""} << QString("0") + QString(14, '1') << true;
}

void TestPlayerWindow::startUp()
{
    QFETCH(bool, fileExists);
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, captions);
    QFETCH(QStringList, tags);
    QFETCH(QString, enabled);
    QFETCH(bool, form2Loaded);

    PlayerHarness h;
    if (fileExists) {
        h.writeBindings(bytes);
    }
    PlayerWindow form(h.services());
    const QList<int16_t> checkedSlots{0, 1, 4, 5, 14};
    for (qsizetype n = 0; n < checkedSlots.size(); ++n) {
        QCOMPARE(form.CmdTrack(checkedSlots[n])->text(), captions[n]);
        QCOMPARE(form.CmdTrack(checkedSlots[n])->tag(), tags[n]);
    }
    QString actual;
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        actual += form.CmdTrack(i)->isEnabled() ? '1' : '0';
    }
    QCOMPARE(actual, enabled);
    QCOMPARE(form.settingsDialog() != nullptr, form2Loaded);
    if (form.settingsDialog() != nullptr) {
        QVERIFY(!form.settingsDialog()->isVisible());
    }
    QVERIFY(h.messages.shown().isEmpty());
}

void TestPlayerWindow::startUpFillsHiddenSettingsRows()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", QStringLiteral("甲")) +
                    record("/m/b.mp3", QStringLiteral("乙")));
    PlayerWindow form(h.services());
    QVERIFY(form.settingsDialog() != nullptr);
    QCOMPARE(form.settingsDialog()->fullPathBox(1)->text(), QString("/m/b.mp3"));
    QCOMPARE(form.settingsDialog()->shortNameBox(0)->text(), QStringLiteral("甲"));
    QCOMPARE(form.settingsDialog()->fullPathBox(2)->text(), QString());
}

// The first frame does not wait for the settings dialog: it is built when
// first needed, holding what the start-up put into it.
void TestPlayerWindow::settingsDialogNotBuiltAtStartUp()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", QStringLiteral("甲")));
    PlayerWindow form(h.services());
    QVERIFY(form.findChild<TrackSettingsDialog *>() == nullptr);
    QCOMPARE(form.CmdTrack(0)->text(), QStringLiteral("甲"));
}

// "设置" re-reads the file into the dialog; rows the file no longer has keep
// what the start-up read, as a dialog loaded hidden at start-up would.
void TestPlayerWindow::settingsOpenedLaterShowsStartUpRecords()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", QStringLiteral("甲")) +
                    record("/m/b.mp3", QStringLiteral("乙")) + record("/m/c.mp3", "c"));
    PlayerWindow form(h.services());
    h.writeBindings(record("/m/new.mp3", QStringLiteral("新")));
    QStringList paths;
    QStringList names;
    QTimer::singleShot(0, &form, [&] {
        auto *dialog = form.findChild<TrackSettingsDialog *>();
        if (dialog == nullptr) {
            return;
        }
        for (int16_t k = 0; k < 4; ++k) {
            paths << dialog->fullPathBox(k)->text();
            names << dialog->shortNameBox(k)->text();
        }
        dialog->reject();
    });
    QTest::mouseClick(form.findChild<QPushButton *>("CmdSet"), Qt::LeftButton);
    QCOMPARE(paths, (QStringList{"/m/new.mp3", "/m/b.mp3", "/m/c.mp3", ""}));
    QCOMPARE(names, (QStringList{QStringLiteral("新"), QStringLiteral("乙"), "c", ""}));
    QVERIFY(form.settingsDialog() == nullptr);
}

void TestPlayerWindow::timer1AfterStartUp()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    TaggedTimer *timer1 = form.Timer1();
    QCOMPARE(form.findChild<QTimer *>("Timer1"), timer1);
    QVERIFY(!timer1->isActive());
    QCOMPARE(timer1->interval(), 25);
    QCOMPARE(timer1->timerType(), Qt::PreciseTimer);
    QVERIFY(!timer1->isSingleShot());
    QCOMPARE(timer1->tag(), QString());
    // Still stopped once the event loop has run.
    QTest::qWait(60);
    QVERIFY(!timer1->isActive());
    QCOMPARE(form.LblLCD()->text(), QString("00:00"));
    QCOMPARE(form.LblLCD3()->text(), QString("00:00"));
}

void TestPlayerWindow::layout_data()
{
    // Pixels at 15 twips per pixel, each figure rounded to the nearest:
    // twips (x, y, w, h) in the comment.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("pixels");
    QTest::newRow("Shape1") << "Shape1" << QRect(2, 2, 93, 503);            // 30, 30, 1395, 7545
    QTest::newRow("Label3") << "Label3" << QRect(4, 6, 87, 95);             // 60, 90, 1305, 1425
    QTest::newRow("Label1") << "Label1" << QRect(14, 10, 61, 12);           // 210, 150, 915, 180
    QTest::newRow("LblLCD") << "LblLCD" << QRect(14, 24, 67, 23);           // 210, 360, 1005, 345
    QTest::newRow("Label2") << "Label2" << QRect(14, 58, 61, 12);           // 210, 870, 915, 180
    QTest::newRow("LblLCD3") << "LblLCD3" << QRect(14, 72, 67, 23);         // 210, 1080, 1005, 345
    QTest::newRow("CmdTrack_0") << "CmdTrack_0" << QRect(4, 104, 87, 21);   // 60, 1560, 1305, 315
    QTest::newRow("CmdTrack_14") << "CmdTrack_14" << QRect(4, 440, 87, 21); // 60, 6600, ...
    // 7000 / 15 = 466.67 rounds to 467.
    QTest::newRow("CmdSet") << "CmdSet" << QRect(4, 467, 21, 35);      // 60, 7000, 315, 525
    QTest::newRow("Command1") << "Command1" << QRect(26, 467, 21, 35); // 390, 7000, ...
    QTest::newRow("Command2") << "Command2" << QRect(48, 467, 21, 35); // 720, 7000, ...
    QTest::newRow("CmdExit") << "CmdExit" << QRect(70, 467, 21, 35);   // 1050, 7000, ...
}

void TestPlayerWindow::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, pixels);
    if (twips::perPixelX() != 15.0 || twips::perPixelY() != 15.0) {
        QSKIP("pixels are for 15 twips per pixel");
    }
    PlayerHarness h;
    PlayerWindow form(h.services());
    QCOMPARE(form.size(), QSize(96, 508)); // 1440 x 7620 twips
    QCOMPARE(form.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QCOMPARE(form.windowTitle(), QString("Plovi"));
    QCOMPARE(form.palette().color(QPalette::Window), QColor(255, 128, 255));
    auto *w = form.findChild<QWidget *>(name);
    QVERIFY(w != nullptr);
    QCOMPARE(w->geometry(), pixels);
}

void TestPlayerWindow::tabOrder()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    QStringList expected;
    for (int i = 0; i <= 11; ++i) {
        expected << QStringLiteral("CmdTrack_%1").arg(i);
    }
    expected << "CmdSet"
             << "CmdExit"
             << "CmdTrack_12"
             << "CmdTrack_13"
             << "CmdTrack_14"
             << "Command1"
             << "Command2"
             << "CmdTrack_0";
    QCOMPARE(focusOrder(form.CmdTrack(0), int(expected.size())), expected);
}

void TestPlayerWindow::focusAtStartUp_data()
{
    QTest::addColumn<QByteArray>("bindings");
    QTest::addColumn<QStringList>("tabs"); // the focus at start, then after each Tab
    QTest::newRow("no records") << QByteArray()
                                << QStringList{"CmdTrack_0", "CmdTrack_1", "CmdTrack_2"};
    // Slots 0 and 1 have no path and are disabled; Tab skips slot 3 too.
    QTest::newRow("first two disabled")
        << record("", "a") + record(" ", "b") + record("/m/c.mp3", "c") + record("", "d")
        << QStringList{"CmdTrack_2", "CmdTrack_4", "CmdTrack_5"};
    QByteArray none;
    for (int k = 0; k < 15; ++k) {
        none += record("", QStringLiteral("n%1").arg(k));
    }
    QTest::newRow("every track disabled") << none << QStringList{"CmdSet", "CmdExit", "Command1"};
}

// The focus starts on the first enabled control of the tab order and Tab
// walks on from there.
void TestPlayerWindow::focusAtStartUp()
{
    QFETCH(QByteArray, bindings);
    QFETCH(QStringList, tabs);
    PlayerHarness h;
    h.writeBindings(bindings);
    PlayerWindow form(h.services());
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    // The focus shows: the focused button looks otherwise without it.
    QWidget *focused = QApplication::focusWidget();
    QVERIFY(focused != nullptr);
    const QImage withFocus = focused->grab().toImage();
    focused->clearFocus();
    const QImage without = focused->grab().toImage();
    focused->setFocus(Qt::OtherFocusReason);
    QVERIFY(withFocus != without);
    QStringList seen;
    for (int k = 0; k < tabs.size(); ++k) {
        QWidget *focus = QApplication::focusWidget();
        seen << (focus == nullptr ? QString() : focus->objectName());
        QTest::keyClick(focus == nullptr ? &form : focus, Qt::Key_Tab);
    }
    QCOMPARE(seen, tabs);
}

void TestPlayerWindow::pressMovesWindow_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("moves");
    QTest::newRow("background, left") << QPoint(0, 0) << int(Qt::LeftButton) << true;
    QTest::newRow("background, right") << QPoint(95, 300) << int(Qt::RightButton) << true;
    QTest::newRow("Shape1, middle") << QPoint(3, 300) << int(Qt::MiddleButton) << true;
    QTest::newRow("Shape1 between buttons") << QPoint(40, 126) << int(Qt::LeftButton) << true;
    QTest::newRow("blue panel") << QPoint(6, 50) << int(Qt::LeftButton) << false;
    QTest::newRow("LCD label") << QPoint(40, 35) << int(Qt::LeftButton) << false;
    QTest::newRow("Label1") << QPoint(40, 15) << int(Qt::RightButton) << false;
}

void TestPlayerWindow::pressMovesWindow()
{
    QFETCH(QPoint, pos);
    QFETCH(int, button);
    QFETCH(bool, moves);
    if (twips::perPixelX() != 15.0 || twips::perPixelY() != 15.0) {
        QSKIP("positions are for 15 twips per pixel");
    }
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    pressAt(&form, pos, Qt::MouseButton(button));
    QCOMPARE(h.moveRequests.size(), moves ? 1 : 0);
    if (moves) {
        QCOMPARE(h.moveRequests.first(), &form);
        QCOMPARE(h.moveButtons.first(), Qt::MouseButton(button));
    }
}

void TestPlayerWindow::companions_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("program");
    QTest::newRow("about") << "Command1"
                           << "Nobix.exe";
    QTest::newRow("other") << "Command2"
                           << "Tarvel.exe";
}

void TestPlayerWindow::companions()
{
    QFETCH(QString, button);
    QFETCH(QString, program);
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    auto *b = form.findChild<QPushButton *>(button);
    QTest::mouseClick(b, Qt::LeftButton);
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(h.launcher.launched(), QStringList({program, program}));
    QVERIFY(h.messages.shown().isEmpty());
}

void TestPlayerWindow::companionFailureKeepsRunning_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("reason"); // as the launcher gives it
    QTest::addColumn<QString>("shown");
    QTest::newRow("about, not found")
        << "Command1" << QString() << QStringLiteral("找不到程序“Nobix.exe”。");
    QTest::newRow("other, not found")
        << "Command2" << QString() << QStringLiteral("找不到程序“Tarvel.exe”。");
    QTest::newRow("about, start failed")
        << "Command1"
        << "Permission denied" << QStringLiteral("无法启动程序“Nobix.exe”：Permission denied");
    QTest::newRow("other, start failed")
        << "Command2"
        << "Exec format error" << QStringLiteral("无法启动程序“Tarvel.exe”：Exec format error");
}

void TestPlayerWindow::companionFailureKeepsRunning()
{
    QFETCH(QString, button);
    QFETCH(QString, reason);
    QFETCH(QString, shown);
    PlayerHarness h;
    h.launcher.failWith(reason);
    PlayerWindow form(h.services());
    form.show();
    QTest::mouseClick(form.findChild<QPushButton *>(button), Qt::LeftButton);
    QCOMPARE(h.messages.shown(), QStringList{shown});
    QVERIFY(form.isVisible());
    QCOMPARE(h.endRequests, 0);
}

void TestPlayerWindow::exitEndsProgram()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    QTest::mouseClick(form.findChild<QPushButton *>("CmdExit"), Qt::LeftButton);
    QCOMPARE(h.endRequests, 1);
}

void TestPlayerWindow::trackBackColourShowsExactly()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    TrackButton *track = form.CmdTrack(3);
    QCOMPARE(track->backColor(), sysColor(15));
    const int32_t colour = 0x22C80C; // RGB(12,200,34)
    track->setBackColor(colour);
    QCOMPARE(track->backColor(), colour);
    const QImage face = track->grab().toImage();
    QCOMPARE(fromQColor(face.pixelColor(4, 4)), colour);
    QCOMPARE(fromQColor(face.pixelColor(face.width() - 5, face.height() - 5)), colour);
}

void TestPlayerWindow::centredOnFirstShow()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    const QRect screen = form.screen()->geometry();
    QCOMPARE(form.pos(), QPoint(screen.x() + (screen.width() - form.width()) / 2,
                                screen.y() + (screen.height() - form.height()) / 2));
}

void TestPlayerWindow::unreadableFileReported()
{
    PlayerHarness h;
    QVERIFY(QDir(h.dir.path()).mkdir("yygj"));
    PlayerWindow form(h.services());
    // Told once the event loop runs, not while the window is being built.
    QVERIFY(h.messages.shown().isEmpty());
    QTRY_COMPARE(h.messages.shown().size(), 1);
    const QString prefix = QStringLiteral("无法读取曲目设置文件“%1”：\n").arg(h.bindingsPath);
    QVERIFY(h.messages.shown().first().startsWith(prefix));
    QVERIFY(h.messages.shown().first().size() > prefix.size());
    QCOMPARE(form.CmdTrack(0)->text(), QStringLiteral("请设置音乐"));
    QVERIFY(form.settingsDialog() == nullptr);
}

// What the loaded settings dialog reports as saved relabels the buttons: a
// button shows its name and is enabled only when the name is not blank.
void TestPlayerWindow::appliesSavedBindings()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", "a") + record("/m/b.mp3", "b"));
    PlayerWindow form(h.services());
    QVERIFY(form.settingsDialog() != nullptr);
    std::vector<TrackBinding> rows(kTrackSlots);
    rows[0] = {"/m/new.mp3", QStringLiteral("新")};
    rows[1] = {"/m/b.mp3", "  "};
    rows[2] = {"", "named"};
    emit form.settingsDialog()->saved(rows);
    QCOMPARE(form.CmdTrack(0)->text(), QStringLiteral("新"));
    QCOMPARE(form.CmdTrack(0)->tag(), QString("/m/new.mp3"));
    QVERIFY(form.CmdTrack(0)->isEnabled());
    QCOMPARE(form.CmdTrack(1)->text(), QString());
    QCOMPARE(form.CmdTrack(1)->tag(), QString("/m/b.mp3"));
    QVERIFY(!form.CmdTrack(1)->isEnabled());
    QCOMPARE(form.CmdTrack(2)->text(), QString("named"));
    QVERIFY(form.CmdTrack(2)->isEnabled());
    QCOMPARE(form.CmdTrack(14)->text(), QString());
    QCOMPARE(form.CmdTrack(14)->tag(), QString());
    QVERIFY(!form.CmdTrack(14)->isEnabled());
    QCOMPARE(h.bindingsBytes(), record("/m/a.mp3", "a") + record("/m/b.mp3", "b"));
}

// About seven characters fit on a button: a bound one tells its whole name and
// path in a tooltip; the caption stays the name itself.
void TestPlayerWindow::toolTipsOfBoundTracks()
{
    const QString longName = QStringLiteral("二十个字的歌曲名称正好是二十个字的长度啊");
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", QStringLiteral("甲")) +
                    record(QStringLiteral("/音乐/很长的文件夹/歌.mp3"), longName) +
                    record("   ", "spaces") + record("/m/d.mp3", "") +
                    record("/m/<i>.mp3", "<b>x</b>"));
    PlayerWindow form(h.services());
    QCOMPARE(longName.size(), 20);
    QCOMPARE(form.CmdTrack(0)->toolTip(), QStringLiteral("甲\n/m/a.mp3\n") + keyLine("1"));
    QCOMPARE(form.CmdTrack(1)->toolTip(),
             longName + QStringLiteral("\n/音乐/很长的文件夹/歌.mp3\n") + keyLine("2"));
    QCOMPARE(form.CmdTrack(1)->text(), longName);
    QCOMPARE(form.CmdTrack(2)->toolTip(), keyLine("3")); // a blank path binds nothing
    QCOMPARE(form.CmdTrack(3)->toolTip(), QString("/m/d.mp3\n") + keyLine("4"));
    // Shown as typed, not as markup.
    QCOMPARE(form.CmdTrack(4)->toolTip(),
             QString("<p style='white-space:pre'>&lt;b&gt;x&lt;/b&gt;<br>/m/&lt;i&gt;.mp3<br>") +
                 keyLine("5") + QString("</p>"));
    QCOMPARE(form.CmdTrack(5)->toolTip(), keyLine("6"));
    QCOMPARE(form.CmdTrack(14)->toolTip(), keyLine("T"));

    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TrackButton *track = form.CmdTrack(1);
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), track->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(track, &help);
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(),
             longName + QStringLiteral("\n/音乐/很长的文件夹/歌.mp3\n") + keyLine("2"));
    QToolTip::hideText();
}

void TestPlayerWindow::toolTipsFollowEverySave()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", "a") + record("/m/b.mp3", "b"));
    PlayerWindow form(h.services());
    QVERIFY(form.settingsDialog() != nullptr);
    std::vector<TrackBinding> rows(kTrackSlots);
    rows[0] = {"/m/new.mp3", QStringLiteral("新")};
    rows[1] = {"", "b"};
    rows[5] = {"/m/f.mp3", "  "};
    emit form.settingsDialog()->saved(rows);
    QCOMPARE(form.CmdTrack(0)->toolTip(), QStringLiteral("新\n/m/new.mp3\n") + keyLine("1"));
    QCOMPARE(form.CmdTrack(1)->toolTip(), keyLine("2"));
    QCOMPARE(form.CmdTrack(5)->toolTip(), QString("/m/f.mp3\n") + keyLine("6"));

    rows[0] = {};
    emit form.settingsDialog()->saved(rows);
    QCOMPARE(form.CmdTrack(0)->toolTip(), keyLine("1"));
    QCOMPARE(form.CmdTrack(5)->toolTip(), QString("/m/f.mp3\n") + keyLine("6"));
}

void TestPlayerWindow::iconHasTwoSizes()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    const QList<QSize> sizes = form.windowIcon().availableSizes();
    QVERIFY(sizes.contains(QSize(16, 16)));
    QVERIFY(sizes.contains(QSize(32, 32)));
    const QImage small = form.windowIcon().pixmap(QSize(16, 16)).toImage();
    QCOMPARE(small.size(), QSize(16, 16));
    QCOMPARE(small.pixelColor(0, 0).alpha(), 0);   // a rounded badge: clear corner
    QCOMPARE(small.pixelColor(8, 8).alpha(), 255); // solid middle
}

void TestPlayerWindow::labelsShowTheirColoursExactly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QColor>("back");
    QTest::addColumn<QColor>("ink");
    QTest::addColumn<int>("frame"); // pixels of border to leave out
    const QColor blue(0, 0, 255);
    const QColor orange(255, 128, 0);
    const QColor cyan(0, 255, 255);
    QTest::newRow("Label1 播放时间：") << "Label1" << blue << orange << 0;
    QTest::newRow("Label2 剩余时间：") << "Label2" << blue << orange << 0;
    QTest::newRow("LblLCD") << "LblLCD" << cyan << blue << 1;
    QTest::newRow("LblLCD3") << "LblLCD3" << cyan << blue << 1;
}

// The labels as drawn on the screen: nearly every pixel of the text is exactly
// the label's text colour (9 pt orange on blue must not turn brown).
void TestPlayerWindow::labelsShowTheirColoursExactly()
{
    QFETCH(QString, name);
    QFETCH(QColor, back);
    QFETCH(QColor, ink);
    QFETCH(int, frame);
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto *label = form.findChild<QLabel *>(name);
    QVERIFY(label != nullptr);
    const QImage image = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QRect inside = image.rect().adjusted(frame, frame, -frame, -frame);
    int inked = 0;
    int exact = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != back.rgb()) {
                ++inked;
                exact += pixel == ink.rgb() ? 1 : 0;
            }
        }
    }
    QVERIFY2(inked > 40, qPrintable(QString::number(inked)));
    QVERIFY2(exact * 10 >= inked * 9, qPrintable(QStringLiteral("%1 of %2").arg(exact).arg(inked)));
}

QTEST_MAIN(TestPlayerWindow)
#include "tst_PlayerWindow.moc"
