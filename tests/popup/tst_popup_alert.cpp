#include "AlertWindow.h"
#include "GifAnimation.h"
#include "ImageLoading.h"
#include "NobixVariant.h"
#include "PictureBox.h"
#include "PopupFakes.h"
#include "StartupWindow.h"

#include "AppPaths.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QWindow>
#include <QtTest>

#include <memory>

using popup::AlertWindow;
using popup::GifAnimation;
using popup::NobixVariant;
using popup::PictureBox;
using popup::StartupWindow;

namespace {

// One alert window with its fakes and a stand-in for the start-up window.
struct AlertRig
{
    explicit AlertRig(TwipsScale scale, int screenWidth, int screenHeight)
    {
        fakes.screen.width = screenWidth;
        fakes.screen.height = screenHeight;
        startWindow.setObjectName(QStringLiteral("Form1"));
        form = std::make_unique<AlertWindow>(fakes.services(scale), variant, &startWindow);
    }

    [[nodiscard]] QTimer *timer(const char *name) const
    {
        return form->findChild<QTimer *>(QLatin1String(name));
    }
    [[nodiscard]] double bottom() const { return form->Top() + form->Height(); }

    PopupFakes fakes;
    NobixVariant variant;
    QWidget startWindow;
    std::unique_ptr<AlertWindow> form;
};

void addMotionRows()
{
    QTest::addColumn<double>("perPixel");
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<double>("full");
    QTest::addColumn<double>("firstOpenHeight");
    QTest::addColumn<double>("lastOpenStep"); // 0: not fixed by the case
    QTest::addColumn<double>("openTop");
    QTest::addColumn<QRect>("pixels"); // the flat window, in pixels

    // The worked example with sizes taken exactly: one twip per pixel, and
    // the screen given in those pixels (1024 x 719 at 15 twips per pixel).
    QTest::newRow("exact twips") << 1.0 << 15360 << 10785 << 13695.0 << 10945.0 << 1665.0 << 80.0
                                 << 1905.0 << 110.0 << 25.0 << 9120.0
                                 << QRect(13695, 10945, 1665, 80);
    // 96 DPI: 80 twips are 5.33 pixels, the window reads back 75; the top
    // 10945 lands on pixel 730.
    QTest::newRow("96 dpi") << 15.0 << 1024 << 719 << 13695.0 << 10950.0 << 1665.0 << 75.0 << 1905.0
                            << 105.0 << 30.0 << 9120.0 << QRect(913, 730, 111, 5);
    // 120 DPI: 1665 x 1905 twips are 138.75 x 158.75 pixels, read back as
    // 139 x 159; 30-twip steps are 2.5 pixels and round to 2 or 3.
    QTest::newRow("120 dpi") << 12.0 << 1280 << 899 << 13692.0 << 10944.0 << 1668.0 << 84.0
                             << 1908.0 << 120.0 << 0.0 << 9120.0 << QRect(1141, 912, 139, 7);
}

} // namespace

class TestPopupAlert : public QObject
{
    Q_OBJECT

  private slots:
    void init() { AlertWindow::setAlertCount(0); }

    void displayAlertPlacesFlatWindowAtCorner_data() { addMotionRows(); }
    void displayAlertPlacesFlatWindowAtCorner();
    void openingUnrollsUpwardWithFixedBottom_data() { addMotionRows(); }
    void openingUnrollsUpwardWithFixedBottom();
    void holdStartsOnTickThatFindsWindowOpen();
    void timersArePrecise();
    void holdLastsItsDurationFromTheOpenTick();
    void closingRollsDownAndEndsProgram_data() { addMotionRows(); }
    void closingRollsDownAndEndsProgram();
    void deviceCornerStaysOnTheScreen_data();
    void deviceCornerStaysOnTheScreen();
    void secondAlertStacksHigherAndOnlyLatestResetsCount();
    void alertCountOverflowIsRuntimeError();
    void negativeDurationIsRuntimeError();
    void displayAlertPlaysSoundAndPaintsWholePictureBox();
    void windowIsFramelessOffTaskBarAndNotOnTop();
    void animationAndArtworkAreInPlace();
    void animationAdvancesAndLoops();
    void animationWithoutFramesLeavesLabelEmpty();
    void imageLoadingReportsWhatCannotBeRead();
    void formLoadShowsOneAlertAndStaysHidden();
    void closeRequestsFromTheWindowSystemAreRefused();
    void alertClosedBeforeItsEndEndsTheProgram();
};

void TestPopupAlert::displayAlertPlacesFlatWindowAtCorner()
{
    QFETCH(double, perPixel);
    QFETCH(int, screenWidth);
    QFETCH(int, screenHeight);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QRect, pixels);

    AlertRig rig({perPixel, perPixel}, screenWidth, screenHeight);
    rig.form->DisplayAlert(QStringLiteral("任意"), 3000);

    QCOMPARE(rig.form->Left(), left);
    QCOMPARE(rig.form->Top(), top);
    QCOMPARE(rig.form->Width(), width);
    QCOMPARE(rig.form->Height(), height);
    QCOMPARE(rig.form->geometry(), pixels);
    QVERIFY(rig.form->isVisible());
    QCOMPARE(AlertWindow::AlertCount(), int16_t{1});
    QCOMPARE(rig.form->AlertNumber(), 1);
    QVERIFY(rig.timer("tmrOpen")->isActive());
    QCOMPARE(rig.timer("tmrOpen")->interval(), 10);
    QVERIFY(!rig.timer("tmrAlert")->isActive());
    QVERIFY(!rig.timer("tmrClose")->isActive());
}

void TestPopupAlert::openingUnrollsUpwardWithFixedBottom()
{
    QFETCH(double, perPixel);
    QFETCH(int, screenWidth);
    QFETCH(int, screenHeight);
    QFETCH(double, full);
    QFETCH(double, firstOpenHeight);
    QFETCH(double, lastOpenStep);
    QFETCH(double, openTop);

    AlertRig rig({perPixel, perPixel}, screenWidth, screenHeight);
    rig.form->DisplayAlert(QString(), 3000);
    const double bottom = rig.bottom();
    const double left = rig.form->Left();

    QList<double> heights;
    int ticks = 0;
    while (rig.timer("tmrOpen")->isActive()) {
        QVERIFY2(++ticks < 1000, "the opening never ends");
        const double before = rig.form->Height();
        rig.form->tmrOpen_Timer();
        QCOMPARE(rig.bottom(), bottom);
        QCOMPARE(rig.form->Left(), left);
        if (rig.form->Height() != before) {
            QVERIFY(rig.form->Height() > before);
            QVERIFY(rig.form->Height() <= full);
            heights << rig.form->Height();
        }
    }
    QVERIFY(heights.size() > 2);
    QCOMPARE(heights.first(), firstOpenHeight);
    QCOMPARE(heights.last(), full);
    QCOMPARE(rig.form->Top(), openTop);
    // One tick per height, then the tick that finds the window open.
    QCOMPARE(ticks, heights.size() + 1);
    if (lastOpenStep > 0) {
        for (int i = 1; i + 1 < heights.size(); ++i) {
            QCOMPARE(heights[i] - heights[i - 1], 30.0);
        }
        QCOMPARE(heights.last() - heights[heights.size() - 2], lastOpenStep);
    }
}

void TestPopupAlert::holdStartsOnTickThatFindsWindowOpen()
{
    AlertRig rig({15, 15}, 1024, 719);
    rig.form->DisplayAlert(QString(), 3000);
    QTimer *open = rig.timer("tmrOpen");
    QTimer *hold = rig.timer("tmrAlert");
    while (rig.form->Height() < 1905) {
        QVERIFY(!hold->isActive());
        rig.form->tmrOpen_Timer();
    }
    // Full height reached, but the hold has not started yet.
    QVERIFY(open->isActive());
    QVERIFY(!hold->isActive());
    rig.form->tmrOpen_Timer();
    QVERIFY(!open->isActive());
    QVERIFY(hold->isActive());
    QCOMPARE(hold->interval(), 3000);
    QCOMPARE(rig.form->Height(), 1905.0);

    rig.form->tmrAlert_Timer();
    QVERIFY(!hold->isActive());
    QVERIFY(rig.timer("tmrClose")->isActive());
    QCOMPARE(rig.timer("tmrClose")->interval(), 10);
    QCOMPARE(rig.form->Height(), 1905.0);
    QCOMPARE(rig.fakes.quits, 0);
}

void TestPopupAlert::timersArePrecise()
{
    AlertRig rig({15, 15}, 1024, 719);
    for (const char *name : {"tmrOpen", "tmrAlert", "tmrClose"}) {
        QCOMPARE(rig.timer(name)->timerType(), Qt::PreciseTimer);
    }
}

// A coarse timer may fire up to 5 % early (2850 ms for 3000 ms); a precise
// one never does.
void TestPopupAlert::holdLastsItsDurationFromTheOpenTick()
{
    AlertRig rig({15, 15}, 1024, 719);
    QTimer *open = rig.timer("tmrOpen");
    QTimer *hold = rig.timer("tmrAlert");
    QElapsedTimer sinceOpen;
    qint64 held = -1;
    connect(open, &QTimer::timeout, hold, [&] {
        if (hold->isActive() && !sinceOpen.isValid()) {
            sinceOpen.start();
        }
    });
    connect(hold, &QTimer::timeout, open, [&] { held = sinceOpen.elapsed(); });
    rig.form->DisplayAlert(QString(), 3000);
    QTRY_VERIFY_WITH_TIMEOUT(held >= 0, 6000);
    QVERIFY2(held >= 3000 && held < 3300, qPrintable(QString::number(held)));
}

void TestPopupAlert::closingRollsDownAndEndsProgram()
{
    QFETCH(double, perPixel);
    QFETCH(int, screenWidth);
    QFETCH(int, screenHeight);

    AlertRig rig({perPixel, perPixel}, screenWidth, screenHeight);
    rig.startWindow.show();
    rig.form->DisplayAlert(QString(), 3000);
    while (rig.timer("tmrOpen")->isActive()) {
        rig.form->tmrOpen_Timer();
    }
    rig.form->tmrAlert_Timer();
    const double bottom = rig.bottom();

    QList<double> heights;
    int ticks = 0;
    while (rig.fakes.quits == 0) {
        QVERIFY2(++ticks < 1000, "the closing never ends");
        const double read = std::nearbyint(rig.form->Height());
        rig.form->tmrClose_Timer();
        if (rig.fakes.quits == 0) {
            // Only a window taller than 120 twips shrinks.
            QVERIFY(read > 120);
            QVERIFY(rig.form->Height() < read);
            QCOMPARE(rig.bottom(), bottom);
            heights << rig.form->Height();
        } else {
            QVERIFY(read <= 120);
        }
    }
    QCOMPARE(rig.fakes.quits, 1);
    QVERIFY(!rig.form->isVisible());
    QVERIFY(!rig.startWindow.isVisible());
    QCOMPARE(AlertWindow::AlertCount(), int16_t{0});
    for (const char *name : {"tmrOpen", "tmrAlert", "tmrClose"}) {
        QVERIFY2(!rig.timer(name)->isActive(), name);
    }
    if (perPixel == 1.0 || perPixel == 15.0) {
        // 1875, 1845, ..., 105; the tick that reads 105 ends.
        QCOMPARE(heights.first(), 1875.0);
        QCOMPARE(heights.last(), 105.0);
        QCOMPARE(heights.size(), 60);
    }
}

void TestPopupAlert::deviceCornerStaysOnTheScreen_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("screenWidth"); // logical, as Qt reports a 1024 x 768 screen
    QTest::addColumn<int>("screenHeight");
    QTest::addColumn<QRect>("deviceArea");
    QTest::addColumn<int>("deviceBottom");

    // The flat window at 15 twips per pixel: top (height x 15 + 160) / 15
    // rounded, 5 tall; bottom = top x ratio rounded + 5 x ratio rounded.
    // 1.25: 606 and 5 -> 758 + 6 = 764 (the logical bottom 611 x 1.25 would
    // be 763.75).
    QTest::newRow("1.25") << 1.25 << 819 << 595 << QRect(0, 0, 1024, 768) << 764;
    // 1.5: right edge 683 x 1.5 = 1024.5 would pass the screen's 1024; 504
    // and 5 -> 756 + 8 = 764.
    QTest::newRow("1.5") << 1.5 << 683 << 493 << QRect(0, 0, 1024, 768) << 764;
    // 2: 376 and 5 -> 752 + 10 = 762.
    QTest::newRow("2") << 2.0 << 512 << 365 << QRect(0, 0, 1024, 768) << 762;
    // A bottom below the available area is drawn in to it.
    QTest::newRow("1.25, bottom drawn in") << 1.25 << 819 << 595 << QRect(0, 0, 1024, 760) << 760;
}

// Qt puts x, y, width and height on the device each times the ratio,
// rounded; window managers keep device sizes to the base size plus multiples
// of the ratio rounded. Through the opening and the closing the device bottom and right
// edges stay where they were, on the screen.
void TestPopupAlert::deviceCornerStaysOnTheScreen()
{
    QFETCH(double, ratio);
    QFETCH(int, screenWidth);
    QFETCH(int, screenHeight);
    QFETCH(QRect, deviceArea);
    QFETCH(int, deviceBottom);

    AlertRig rig({15, 15}, screenWidth, screenHeight);
    rig.fakes.screen.ratio = ratio;
    rig.fakes.screen.deviceArea = deviceArea;
    const int increment = qRound(ratio);
    int tallest = 0;
    // What is wrong with the window's place on the device; empty if nothing.
    auto deviceFault = [&]() -> QString {
        const QRect g = rig.form->geometry();
        tallest = std::max(tallest, g.height());
        const QRect d(qRound(g.x() * ratio), qRound(g.y() * ratio), qRound(g.width() * ratio),
                      qRound(g.height() * ratio));
        const QString at =
            QStringLiteral(" at %1x%2+%3+%4").arg(d.width()).arg(d.height()).arg(d.x()).arg(d.y());
        if (d.x() + d.width() != 1024) {
            return QStringLiteral("right edge") + at;
        }
        if (d.y() + d.height() != deviceBottom) {
            return QStringLiteral("bottom edge") + at;
        }
        if (!deviceArea.contains(d)) {
            return QStringLiteral("off the screen") + at;
        }
        // Window managers keep the device size to the base size plus a
        // multiple of the ratio rounded, and take the base as the minimum
        // where there is none: the base is the open size, set once, and the
        // minimum lies below every size.
        // What the native window is told, not what the widget holds.
        const QWindow *native = rig.form->windowHandle();
        if (native == nullptr) {
            return QStringLiteral("no native window") + at;
        }
        const QSize base = native->baseSize();
        if (base != QSize(111, 127)) {
            return QStringLiteral("base size %1x%2").arg(base.width()).arg(base.height()) + at;
        }
        const QSize minimum = native->minimumSize();
        if (minimum.isEmpty() || minimum.width() > g.width() || minimum.height() > g.height()) {
            return QStringLiteral("minimum size") + at;
        }
        if ((d.width() - qRound(base.width() * ratio)) % increment != 0 ||
            (d.height() - qRound(base.height() * ratio)) % increment != 0) {
            return QStringLiteral("size off the increment") + at;
        }
        return {};
    };

    rig.form->DisplayAlert(QString(), 3000);
    const double bottom = rig.bottom();
    QString fault = deviceFault();
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    while (rig.timer("tmrOpen")->isActive()) {
        rig.form->tmrOpen_Timer();
        fault = deviceFault();
        QVERIFY2(fault.isEmpty(), qPrintable(fault));
        QCOMPARE(rig.bottom(), bottom);
    }
    // Open, 1665 x 1905 twips are 111 x 127 logical pixels, exactly.
    QCOMPARE(tallest, 127);
    QCOMPARE(rig.form->geometry().size(), QSize(111, 127));
    rig.form->tmrAlert_Timer();
    while (rig.fakes.quits == 0) {
        rig.form->tmrClose_Timer();
        if (rig.fakes.quits == 0) {
            fault = deviceFault();
            QVERIFY2(fault.isEmpty(), qPrintable(fault));
            QCOMPARE(rig.bottom(), bottom);
        }
    }
}

void TestPopupAlert::secondAlertStacksHigherAndOnlyLatestResetsCount()
{
    AlertRig first({15, 15}, 1024, 719);
    first.form->DisplayAlert(QString(), 3000);
    AlertRig second({15, 15}, 1024, 719);
    second.form->DisplayAlert(QString(), 3000);

    QCOMPARE(first.form->AlertNumber(), 1);
    QCOMPARE(second.form->AlertNumber(), 2);
    QCOMPARE(AlertWindow::AlertCount(), int16_t{2});
    QCOMPARE(first.form->Top() - second.form->Top(), 1905.0);

    // The first alert ends first: the count belongs to the second and stays.
    while (first.timer("tmrOpen")->isActive()) {
        first.form->tmrOpen_Timer();
    }
    first.form->tmrAlert_Timer();
    while (first.fakes.quits == 0) {
        first.form->tmrClose_Timer();
    }
    QCOMPARE(AlertWindow::AlertCount(), int16_t{2});
}

void TestPopupAlert::alertCountOverflowIsRuntimeError()
{
    AlertWindow::setAlertCount(32766);
    AlertRig ok({15, 15}, 1024, 719);
    ok.form->DisplayAlert(QString(), 3000);
    QCOMPARE(ok.form->AlertNumber(), 32767);
    QVERIFY(ok.fakes.errors.isEmpty());

    AlertRig rig({15, 15}, 1024, 719);
    rig.form->DisplayAlert(QString(), 3000);
    QCOMPARE(rig.fakes.errors.size(), 1);
    QCOMPARE(rig.fakes.errors.first().first, 6);
    QCOMPARE(rig.fakes.errors.first().second, QStringLiteral("溢出"));
    QCOMPARE(AlertWindow::AlertCount(), int16_t{32767});
    QVERIFY(!rig.form->isVisible());
    QVERIFY(!rig.timer("tmrOpen")->isActive());
    QVERIFY(rig.fakes.sound.played.isEmpty());
}

void TestPopupAlert::negativeDurationIsRuntimeError()
{
    AlertRig rig({15, 15}, 1024, 719);
    rig.form->DisplayAlert(QString(), -1);
    QCOMPARE(rig.fakes.errors.size(), 1);
    QCOMPARE(rig.fakes.errors.first().first, 380);
    QCOMPARE(rig.fakes.errors.first().second, QStringLiteral("无效的属性值"));
    QVERIFY(!rig.timer("tmrOpen")->isActive());
}

void TestPopupAlert::displayAlertPlaysSoundAndPaintsWholePictureBox()
{
    AlertRig rig({15, 15}, 1024, 719);
    rig.form->DisplayAlert(QString(), 3000);
    QCOMPARE(rig.fakes.sound.played, QStringList{programDir() + QStringLiteral("/msgcome.wav")});
    QVERIFY(rig.fakes.failures.reports.empty());

    auto *picture = rig.form->findChild<PictureBox *>(QStringLiteral("弹出信息"));
    QVERIFY(picture != nullptr);
    QCOMPARE(picture->geometry(), QRect(-2, 0, 111, 127));
    const QImage &image = picture->image();
    QCOMPARE(image.size(), QSize(111, 127));
    // Painted while the window is 5 pixels tall, the gradient covers the whole
    // box: every pixel lies between white and RGB(128,255,255), and the two
    // ends of the box differ.
    for (const QPoint p :
         {QPoint(0, 0), QPoint(110, 0), QPoint(0, 126), QPoint(110, 126), QPoint(55, 63)}) {
        const QColor c = image.pixelColor(p);
        QVERIFY2(c.green() == 255 && c.blue() == 255 && c.red() >= 128, qPrintable(c.name()));
    }
    QVERIFY(image.pixelColor(0, 0) != image.pixelColor(110, 126));
}

void TestPopupAlert::windowIsFramelessOffTaskBarAndNotOnTop()
{
    AlertRig rig({15, 15}, 1024, 719);
    const Qt::WindowFlags flags = rig.form->windowFlags();
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
    QVERIFY(!flags.testFlag(Qt::WindowStaysOnTopHint));
    QCOMPARE(rig.form->palette().color(QPalette::Window), QColor(255, 192, 255));
}

void TestPopupAlert::animationAndArtworkAreInPlace()
{
    AlertRig rig({15, 15}, 1024, 719);
    auto *anim = rig.form->findChild<QLabel *>(QStringLiteral("AniGIF1"));
    auto *art = rig.form->findChild<QLabel *>(QStringLiteral("Image2"));
    QVERIFY(anim != nullptr && art != nullptr);
    QCOMPARE(anim->geometry(), QRect(72, 14, 32, 57));
    QCOMPARE(art->geometry(), QRect(0, 4, 112, 121));
    auto *swing = anim->findChild<GifAnimation *>();
    QVERIFY(swing != nullptr);
    QCOMPARE(swing->frameCount(), 13);
    QVERIFY(swing->isRunning());
    QCOMPARE(swing->currentFrame(), 0);
    QCOMPARE(anim->pixmap().cacheKey(), swing->frame(0).cacheKey());
    QCOMPARE(swing->frame(0).size(), QSize(32, 57));
    QVERIFY(swing->frame(0).hasAlphaChannel());
    // About four seconds a loop.
    QVERIFY2(swing->loopDuration() >= 3500 && swing->loopDuration() <= 4500,
             qPrintable(QString::number(swing->loopDuration())));
    // Front to back: the animation, the labels, the artwork.
    const QObjectList children = anim->parent()->children();
    QCOMPARE(children.last(), anim);
    QVERIFY(children.indexOf(art) < children.indexOf(rig.form->findChild<QLabel *>("Label1")));
    // White is the artwork's transparent colour.
    const QImage pixels = art->pixmap().toImage();
    QCOMPARE(qAlpha(pixels.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(pixels.pixel(56, 94)), 255);
}

void TestPopupAlert::animationAdvancesAndLoops()
{
    AlertRig rig({15, 15}, 1024, 719);
    auto *anim = rig.form->findChild<QLabel *>(QStringLiteral("AniGIF1"));
    auto *swing = anim->findChild<GifAnimation *>();
    QVERIFY(swing != nullptr);
    QVERIFY(swing->frame(0).toImage() != swing->frame(1).toImage());
    QTRY_COMPARE_WITH_TIMEOUT(swing->currentFrame(), 1, swing->frameDelay(0) + 2000);
    QCOMPARE(anim->pixmap().cacheKey(), swing->frame(1).cacheKey());
    // Past the last frame it starts over.
    const int last = swing->frameCount() - 1;
    QTRY_COMPARE_WITH_TIMEOUT(swing->currentFrame(), last, swing->loopDuration() + 2000);
    QTRY_COMPARE_WITH_TIMEOUT(swing->currentFrame(), 0, swing->frameDelay(last) + 2000);
    QVERIFY(swing->isRunning());
}

void TestPopupAlert::animationWithoutFramesLeavesLabelEmpty()
{
    QLabel label;
    GifAnimation missing(&label, QStringLiteral(":/popup/no_such.gif"), "gif");
    GifAnimation wrongFormat(&label, QStringLiteral(":/popup/popup_icon.png"), "gif");
    for (GifAnimation *animation : {&missing, &wrongFormat}) {
        QCOMPARE(animation->frameCount(), 0);
        animation->start();
        QVERIFY(!animation->isRunning());
        QCOMPARE(animation->loopDuration(), 0);
        QVERIFY(animation->frame(0).isNull());
    }
    QVERIFY(label.pixmap().isNull());
}

void TestPopupAlert::imageLoadingReportsWhatCannotBeRead()
{
    const Result<QImage> icon =
        popup::loadImageOfFormat(QStringLiteral(":/popup/popup_icon.png"), "png");
    QVERIFY2(icon.ok(), qPrintable(icon.error()));
    QVERIFY(!icon.value().isNull());

    for (const auto &[path, format] :
         {std::pair{QStringLiteral(":/popup/no_such.png"), "png"},
          std::pair{QStringLiteral(":/popup/popup_icon.png"), "gif"}}) {
        const Result<QImage> image = popup::loadImageOfFormat(path, format);
        QVERIFY2(!image.ok(), qPrintable(path + QLatin1Char(' ') + QLatin1String(format)));
        QVERIFY(!image.error().isEmpty());
    }
}

void TestPopupAlert::formLoadShowsOneAlertAndStaysHidden()
{
    PopupFakes fakes;
    const NobixVariant variant;
    StartupWindow form1(fakes.services(), variant);
    form1.Form_Load();
    QVERIFY(!form1.isVisible());
    QCOMPARE(form1.objectName(), QStringLiteral("Form1"));
    QList<AlertWindow *> alerts;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *alert = qobject_cast<AlertWindow *>(w)) {
            alerts << alert;
        }
    }
    QCOMPARE(alerts.size(), 1);
    AlertWindow *alert = alerts.first();
    QVERIFY(alert->isVisible());
    QCOMPARE(alert->objectName(), QStringLiteral("Form2"));
    QVERIFY(alert->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(alert->findChild<QTimer *>(QStringLiteral("tmrOpen"))->isActive());
    QCOMPARE(fakes.sound.played.size(), 1);
    delete alert;
}

namespace {

// The alert that Form_Load showed.
AlertWindow *shownAlert()
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *alert = qobject_cast<AlertWindow *>(w)) {
            return alert;
        }
    }
    return nullptr;
}

// What a window manager's close request (WM_DELETE_WINDOW) becomes: a close
// event on the platform window, which reaches the widget as a spontaneous
// one. Returns whether the window accepted it.
bool requestClose(QWidget *window)
{
    QCloseEvent request;
    QCoreApplication::sendEvent(window->windowHandle(), &request);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return request.isAccepted();
}

} // namespace

void TestPopupAlert::closeRequestsFromTheWindowSystemAreRefused()
{
    PopupFakes fakes;
    const NobixVariant variant;
    StartupWindow form1(fakes.services(), variant);
    form1.Form_Load();
    form1.winId(); // the hidden window exists on the screen too
    QPointer<AlertWindow> alert = shownAlert();
    QVERIFY(alert != nullptr);
    alert->tmrOpen_Timer();

    QVERIFY(!requestClose(alert));
    QVERIFY(!requestClose(&form1));
    QVERIFY(alert != nullptr);
    QVERIFY(alert->isVisible());
    QVERIFY(!form1.isVisible());
    QVERIFY(alert->findChild<QTimer *>(QStringLiteral("tmrOpen"))->isActive());
    QCOMPARE(fakes.quits, 0);

    // The alert goes on and ends the program by itself, once.
    QTRY_COMPARE_WITH_TIMEOUT(fakes.quits, 1, 6000);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(alert.isNull());
    QCOMPARE(fakes.quits, 1);
}

void TestPopupAlert::alertClosedBeforeItsEndEndsTheProgram()
{
    PopupFakes fakes;
    const NobixVariant variant;
    StartupWindow form1(fakes.services(), variant);
    form1.Form_Load();
    AlertWindow *alert = shownAlert();
    QVERIFY(alert != nullptr);
    QCOMPARE(fakes.quits, 0);
    // Without the alert and its timers nothing would ever end the process.
    QVERIFY(alert->close());
    QCOMPARE(fakes.quits, 1);
}

QTEST_MAIN(TestPopupAlert)
#include "tst_popup_alert.moc"
