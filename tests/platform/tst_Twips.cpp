#include "Twips.h"
#include "TwipsGeometry.h"

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
    void toPixelsAtScale_data();
    void toPixelsAtScale();
    void rectangleToPixels();
    void setGeometryRoundsAndReadsBack();
    void geometryReadsBackRoundedTwips_data();
    void geometryReadsBackRoundedTwips();
};

void TestTwips::factorFollowsLogicalDpi()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    QVERIFY(screen != nullptr);
    QCOMPARE(twips::perPixelX(), 1440.0 / screen->logicalDotsPerInchX());
    QCOMPARE(twips::perPixelY(), 1440.0 / screen->logicalDotsPerInchY());
    const TwipsScale scale = TwipsScale::ofScreen();
    QCOMPARE(scale.perPixelX, 1440.0 / screen->logicalDotsPerInchX());
    QCOMPARE(scale.perPixelY, 1440.0 / screen->logicalDotsPerInchY());
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

void TestTwips::toPixelsAtScale_data()
{
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("perPixel");
    QTest::addColumn<int>("expected");
    QTest::newRow("player settings width") << 8040.0 << 15.0 << 536;
    QTest::newRow("player height") << 7620.0 << 15.0 << 508;
    QTest::newRow("80 at 15: 5.33") << 80.0 << 15.0 << 5;
    QTest::newRow("10945 at 15: 729.67") << 10945.0 << 15.0 << 730;
    QTest::newRow("half to even down: 37.5") << 37.5 << 15.0 << 2;
    QTest::newRow("half to even up: 52.5") << 52.5 << 15.0 << 4;
    QTest::newRow("half to zero: 7.5") << 7.5 << 15.0 << 0;
    QTest::newRow("negative half: -22.5") << -22.5 << 15.0 << -2;
    QTest::newRow("negative: -30") << -30.0 << 15.0 << -2;
    QTest::newRow("1665 at 12: 138.75") << 1665.0 << 12.0 << 139;
    QTest::newRow("30 at 12: 2.5") << 30.0 << 12.0 << 2;
    QTest::newRow("one twip per pixel") << 1905.0 << 1.0 << 1905;
}

void TestTwips::toPixelsAtScale()
{
    QFETCH(double, twips);
    QFETCH(double, perPixel);
    QFETCH(int, expected);
    QCOMPARE(twips::toPixels(twips, perPixel), expected);
}

void TestTwips::rectangleToPixels()
{
    // The alert's picture box and animation at 96 and 120 DPI.
    QCOMPARE(twips::toPixels(TwipsScale{15.0, 15.0}, -30, 0, 1665, 1905), QRect(-2, 0, 111, 127));
    QCOMPARE(twips::toPixels(TwipsScale{15.0, 15.0}, 1080, 210, 480, 855), QRect(72, 14, 32, 57));
    QCOMPARE(twips::toPixels(TwipsScale{12.0, 12.0}, -30, 0, 1665, 1905), QRect(-2, 0, 139, 159));
    // The axes have their own factors.
    QCOMPARE(twips::toPixels(TwipsScale{15.0, 12.0}, 150, 150, 300, 300), QRect(10, 12, 20, 25));
}

void TestTwips::setGeometryRoundsAndReadsBack()
{
    QWidget w;
    const double fx = twips::perPixelX();
    const double fy = twips::perPixelY();
    twips::setGeometry(&w, 10.5 * fx, 3.5 * fy, 20.4 * fx, 7.6 * fy);
    QCOMPARE(w.geometry(), QRect(10, 4, 20, 8));
}

void TestTwips::geometryReadsBackRoundedTwips_data()
{
    QTest::addColumn<double>("perPixelX");
    QTest::addColumn<double>("perPixelY");
    QTest::addColumn<double>("left");
    QTest::addColumn<double>("top");
    QTest::addColumn<double>("width");
    QTest::addColumn<double>("height");
    QTest::addColumn<QRect>("pixels");
    QTest::addColumn<QRectF>("readBack"); // twips

    // The alert placed flat at 96 DPI: 80 twips are 5.33 pixels and read back
    // as 75; the top 10945 lands on pixel 730 and reads back as 10950.
    QTest::newRow("96 dpi") << 15.0 << 15.0 << 13695.0 << 10945.0 << 1665.0 << 80.0
                            << QRect(913, 730, 111, 5) << QRectF(13695, 10950, 1665, 75);
    // 120 DPI: 1665 twips are 138.75 pixels; a 2.5-pixel height goes to 2.
    QTest::newRow("120 dpi") << 12.0 << 12.0 << 13692.0 << 10944.0 << 1665.0 << 30.0
                             << QRect(1141, 912, 139, 2) << QRectF(13692, 10944, 1668, 24);
    // Ties at 15 twips per pixel: 7.5 px to 8, 2.5 px to 2, 3.5 px to 4.
    QTest::newRow("ties") << 15.0 << 15.0 << 112.5 << 37.5 << 112.5 << 52.5 << QRect(8, 2, 8, 4)
                          << QRectF(120, 30, 120, 60);
    // Each axis with its own factor: 150 twips are 10 pixels across, 12.5 down.
    QTest::newRow("axes apart") << 15.0 << 12.0 << 150.0 << 150.0 << 300.0 << 300.0
                                << QRect(10, 12, 20, 25) << QRectF(150, 144, 300, 300);
}

void TestTwips::geometryReadsBackRoundedTwips()
{
    QFETCH(double, perPixelX);
    QFETCH(double, perPixelY);
    QFETCH(double, left);
    QFETCH(double, top);
    QFETCH(double, width);
    QFETCH(double, height);
    QFETCH(QRect, pixels);
    QFETCH(QRectF, readBack);

    TwipsGeometry geometry(TwipsScale{perPixelX, perPixelY});
    geometry.setLeft(left);
    geometry.setTop(top);
    geometry.setWidth(width);
    geometry.setHeight(height);
    QCOMPARE(geometry.pixels(), pixels);
    QCOMPARE(geometry.left(), readBack.x());
    QCOMPARE(geometry.top(), readBack.y());
    QCOMPARE(geometry.width(), readBack.width());
    QCOMPARE(geometry.height(), readBack.height());
}

QTEST_MAIN(TestTwips)
#include "tst_Twips.moc"
