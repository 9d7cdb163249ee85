#include "DeviceGeometry.h"
#include "ScreenMetrics.h"

#include <QtTest>

#include <cmath>

using popup::DeviceGeometry;

// Where Qt puts a window on the device and the logical rectangles that keep
// its right and bottom device edges in place. Expected rectangles are worked
// by hand from Qt's rule: each value times the ratio, rounded, halves away
// from zero; sizes kept to the base size plus multiples of the ratio
// rounded.
class TestPopupDevice : public QObject
{
    Q_OBJECT

  private slots:
    void sizeIncrement_data();
    void sizeIncrement();
    void toDevice_data();
    void toDevice();
    void fit_data();
    void fit();
    void cornerForAnExactSize_data();
    void cornerForAnExactSize();
    void screenLengthOnTheDevice_data();
    void screenLengthOnTheDevice();
};

void TestPopupDevice::sizeIncrement_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("increment");
    QTest::newRow("1") << 1.0 << 1;
    QTest::newRow("1.25") << 1.25 << 1;
    QTest::newRow("1.5") << 1.5 << 2;
    QTest::newRow("2") << 2.0 << 2;
    QTest::newRow("2.5") << 2.5 << 3;
}

void TestPopupDevice::sizeIncrement()
{
    QFETCH(double, ratio);
    QFETCH(int, increment);
    QCOMPARE(DeviceGeometry(ratio).sizeIncrement(), increment);
}

void TestPopupDevice::toDevice_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QRect>("logical");
    QTest::addColumn<QRect>("device");
    QTest::newRow("1") << 1.0 << QRect(913, 755, 111, 5) << QRect(913, 755, 111, 5);
    // 757.5 and 6.25 round apart: the bottom lands on 764.
    QTest::newRow("1.25") << 1.25 << QRect(708, 606, 111, 5) << QRect(885, 758, 139, 6);
    // 748.5 -> 749, 166.5 -> 167, 7.5 -> 8.
    QTest::newRow("1.5") << 1.5 << QRect(572, 499, 111, 5) << QRect(858, 749, 167, 8);
}

void TestPopupDevice::toDevice()
{
    QFETCH(double, ratio);
    QFETCH(QRect, logical);
    QFETCH(QRect, device);
    QCOMPARE(DeviceGeometry(ratio).toDevice(logical), device);
}

void TestPopupDevice::fit_data()
{
    QTest::addColumn<double>("ratio");
    QTest::addColumn<QRect>("logical");
    QTest::addColumn<int>("deviceRight");
    QTest::addColumn<int>("deviceBottom");
    QTest::addColumn<QSize>("base"); // device pixels
    QTest::addColumn<QRect>("fitted");

    QTest::newRow("1, in place") << 1.0 << QRect(913, 755, 111, 5) << 1024 << 760 << QSize(0, 0)
                                 << QRect(913, 755, 111, 5);
    QTest::newRow("1, drawn in") << 1.0 << QRect(913, 755, 111, 5) << 1020 << 758 << QSize(0, 0)
                                 << QRect(909, 753, 111, 5);
    // 111 -> 138.75 -> 139 wide from 885 = 708 x 1.25; 7 -> 9 tall from 125.
    QTest::newRow("1.25, in place")
        << 1.25 << QRect(708, 100, 111, 7) << 1024 << 134 << QSize(0, 0) << QRect(708, 100, 111, 7);
    // Height 7 (9 device rows) would need top row 127, which no logical top
    // gives (126.25 -> 126, 127.5 -> 128); height 8 (10 rows) from 126 = 101
    // x 1.25 does.
    QTest::newRow("1.25, top out of reach")
        << 1.25 << QRect(708, 101, 111, 7) << 1024 << 136 << QSize(0, 0) << QRect(708, 101, 111, 8);
    // Device widths must be even. 111 -> 167 and 110 -> 165 are odd; 112 ->
    // 168 would start at 856, which no logical left gives (570 -> 855, 571
    // -> 857); 113 -> 170 starts at 854 = 569 x 1.5 rounded. Height 5 -> 8
    // rows from 749 = 499 x 1.5 rounded.
    QTest::newRow("1.5, odd device width")
        << 1.5 << QRect(572, 499, 111, 5) << 1024 << 757 << QSize(0, 0) << QRect(569, 499, 113, 5);
    // The open size as the base: 111 -> 167 from 857 = 571 x 1.5 rounded;
    // heights must differ from 191 by an even number of rows: 5 -> 8 does
    // not, 6 -> 9 would start at 748, which no logical top gives (498 ->
    // 747, 499 -> 749), 7 -> 11 from 746 = 497 x 1.5 rounded does.
    QTest::newRow("1.5, open size as base") << 1.5 << QRect(572, 499, 111, 5) << 1024 << 757
                                            << QSize(167, 191) << QRect(571, 497, 111, 7);
    QTest::newRow("2, in place") << 2.0 << QRect(401, 372, 111, 5) << 1024 << 754 << QSize(0, 0)
                                 << QRect(401, 372, 111, 5);
    // At 2 every device edge is even: an odd bottom is out of reach, and the
    // window stops one row short of it rather than pass it.
    QTest::newRow("2, odd bottom")
        << 2.0 << QRect(401, 372, 111, 5) << 1024 << 755 << QSize(0, 0) << QRect(401, 372, 111, 5);
}

void TestPopupDevice::fit()
{
    QFETCH(double, ratio);
    QFETCH(QRect, logical);
    QFETCH(int, deviceRight);
    QFETCH(int, deviceBottom);
    QFETCH(QSize, base);
    QFETCH(QRect, fitted);
    QCOMPARE(DeviceGeometry(ratio).fit(logical, deviceRight, deviceBottom, base), fitted);
}

void TestPopupDevice::cornerForAnExactSize_data()
{
    QTest::addColumn<double>("ratio");
    for (const double ratio : {1.0, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
        QTest::addRow("%g", ratio) << ratio;
    }
}

// For every corner of a screen's worth, the corner chosen for the open alert
// (111 x 127) is the nearest one, up and left, that some logical start
// reaches at exactly that size, found here by trying every start; fit() then
// keeps the size and lands on it.
void TestPopupDevice::cornerForAnExactSize()
{
    QFETCH(double, ratio);
    const QSize open(111, 127);
    const DeviceGeometry device(ratio);
    const auto reached = [ratio](int logicalLength, int deviceEnd) {
        const auto deviceLength = static_cast<int>(std::floor(logicalLength * ratio + 0.5));
        for (int start = 0; start <= 1300; ++start) {
            if (static_cast<int>(std::floor(start * ratio + 0.5)) + deviceLength == deviceEnd) {
                return true;
            }
        }
        return false;
    };
    for (int end = 400; end <= 1300; ++end) {
        int expected = end;
        while (!reached(open.width(), expected)) {
            --expected;
        }
        const QPoint corner = device.cornerFor(open, QPoint(end, end));
        QCOMPARE(corner.x(), expected);
        QVERIFY(end - corner.x() <= std::ceil(ratio));
        const QRect fitted = device.fit(QRect(QPoint(0, 0), open), corner.x(), corner.y(),
                                        device.toDevice(QRect(QPoint(0, 0), open)).size());
        QCOMPARE(fitted.size(), open);
        const QRect onDevice = device.toDevice(fitted);
        QCOMPARE(onDevice.x() + onDevice.width(), corner.x());
        QCOMPARE(onDevice.y() + onDevice.height(), corner.y());
    }
}

void TestPopupDevice::screenLengthOnTheDevice_data()
{
    QTest::addColumn<int>("logical");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("device");
    // Qt's logical lengths of a 1024 x 768 screen: 1024 / 1.25 = 819.2 ->
    // 819, 768 / 1.25 = 614.4 -> 614, 1024 / 1.5 = 682.7 -> 683, ...
    QTest::newRow("819 at 1.25") << 819 << 1.25 << 1024; // 1023.75
    QTest::newRow("614 at 1.25") << 614 << 1.25 << 768;  // 767.5: 767 and 768 both give 614
    QTest::newRow("683 at 1.5") << 683 << 1.5 << 1024;   // 1024.5: 1024 and 1025 both give 683
    QTest::newRow("512 at 1.5") << 512 << 1.5 << 768;
    QTest::newRow("512 at 2") << 512 << 2.0 << 1024;
    QTest::newRow("1024 at 1") << 1024 << 1.0 << 1024;
}

void TestPopupDevice::screenLengthOnTheDevice()
{
    QFETCH(int, logical);
    QFETCH(double, ratio);
    QFETCH(int, device);
    QCOMPARE(ScreenMetrics::deviceLength(logical, ratio), device);
}

QTEST_APPLESS_MAIN(TestPopupDevice)
#include "tst_popup_device.moc"
