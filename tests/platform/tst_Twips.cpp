#include "Twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QtTest>

class TestTwips : public QObject
{
    Q_OBJECT
  private slots:
    void factorFollowsLogicalDpi();
    void toPixels_data();
    void toPixels();
    void setGeometryRoundsAndReadsBack();
};

void TestTwips::factorFollowsLogicalDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen != nullptr);
    QCOMPARE(twips::perPixelX(), 1440.0 / screen->logicalDotsPerInchX());
    QCOMPARE(twips::perPixelY(), 1440.0 / screen->logicalDotsPerInchY());
    QCOMPARE(twips::fromPixelsX(7), 7 * twips::perPixelX());
}

void TestTwips::toPixels_data()
{
    QTest::addColumn<double>("pixels"); // twips / factor
    QTest::addColumn<int>("expected");
    QTest::newRow("whole") << 96.0 << 96;
    QTest::newRow("below half") << 2.4 << 2;
    QTest::newRow("above half") << 2.6 << 3;
    QTest::newRow("half to even down") << 2.5 << 2;
    QTest::newRow("half to even up") << 3.5 << 4;
    QTest::newRow("half, zero") << 0.5 << 0;
    QTest::newRow("negative half") << -1.5 << -2;
}

void TestTwips::toPixels()
{
    QFETCH(double, pixels);
    QFETCH(int, expected);
    QCOMPARE(twips::toPixelsX(pixels * twips::perPixelX()), expected);
    QCOMPARE(twips::toPixelsY(pixels * twips::perPixelY()), expected);
}

void TestTwips::setGeometryRoundsAndReadsBack()
{
    QWidget w;
    const double fx = twips::perPixelX();
    const double fy = twips::perPixelY();
    twips::setGeometry(&w, 10.5 * fx, 3.5 * fy, 20.4 * fx, 7.6 * fy);
    QCOMPARE(w.geometry(), QRect(10, 4, 20, 8));
}

QTEST_MAIN(TestTwips)
#include "tst_Twips.moc"
