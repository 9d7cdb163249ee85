#include "FirstFrame.h"

#include <QPainter>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// Counts its paint events.
class CountingWindow : public QWidget
{
  public:
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent *) override
    {
        ++paints;
        QPainter(this).fillRect(rect(), Qt::magenta);
    }
};

} // namespace

class TestFirstFrame : public QObject
{
    Q_OBJECT

  private slots:
    void runsOnceAfterTheFirstPaint();
    void nothingBeforeTheWindowIsShown();
    void nothingOnceTheWindowIsGone();
};

void TestFirstFrame::runsOnceAfterTheFirstPaint()
{
    CountingWindow window;
    window.resize(60, 40);
    int runs = 0;
    int paintsWhenRun = -1;
    afterFirstFrame(window, [&] {
        ++runs;
        paintsWhenRun = window.paints;
    });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(runs, 1);
    QVERIFY(paintsWhenRun >= 1);
    window.repaint();
    window.update();
    QTest::qWait(50);
    QCOMPARE(runs, 1);
}

void TestFirstFrame::nothingBeforeTheWindowIsShown()
{
    CountingWindow window;
    int runs = 0;
    afterFirstFrame(window, [&] { ++runs; });
    QTest::qWait(50);
    QCOMPARE(runs, 0);
    QCOMPARE(window.paints, 0);
}

void TestFirstFrame::nothingOnceTheWindowIsGone()
{
    int runs = 0;
    {
        auto window = std::make_unique<CountingWindow>();
        afterFirstFrame(*window, [&] { ++runs; });
        window->show();
        window->repaint(); // the action is queued behind this paint
    }
    QTest::qWait(50);
    QCOMPARE(runs, 0);
}

QTEST_MAIN(TestFirstFrame)
#include "tst_FirstFrame.moc"
