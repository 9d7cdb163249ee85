#include "LcdTime.h"

#include <QtTest>

#include <limits>

using namespace plovi;

class TestLcdTime : public QObject
{
    Q_OBJECT
  private slots:
    void formatSixDigits_data();
    void formatSixDigits();
    void formatLcdTime_data();
    void formatLcdTime();
    void lcdText_data();
    void lcdText();
};

void TestLcdTime::formatSixDigits_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("zero") << 0.0 << "000000";
    QTest::newRow("half rounds up") << 0.5 << "000001";
    QTest::newRow("just under half") << 0.49 << "000000";
    QTest::newRow("2.5 away from zero, not to even") << 2.5 << "000003";
    QTest::newRow("track 245.678 s") << 24567.8 << "024568";
    QTest::newRow("six nines") << 999999.0 << "999999";
    QTest::newRow("seven digits") << 1000000.0 << "1000000";
    QTest::newRow("negative") << -123.4 << "-000123";
    QTest::newRow("negative half away from zero") << -2.5 << "-000003";
    QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN() << "000000";
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << "000000";
}

void TestLcdTime::formatSixDigits()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Module1::FormatSixDigits(value), text);
}

void TestLcdTime::formatLcdTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lcd");
    QTest::newRow("zero") << "000000"
                          << "00:00";
    QTest::newRow("245 s") << "024568"
                           << "04:05";
    QTest::newRow("exactly a minute") << "006000"
                                      << "01:00";
    QTest::newRow("59.99 s truncates") << "005999"
                                       << "00:59";
    QTest::newRow("largest six-digit") << "999999"
                                       << "166:39";
    QTest::newRow("10 000 s") << "1000000"
                              << "166:40";
    QTest::newRow("ten hours") << "3600000"
                               << "600:00";
    QTest::newRow("no digits") << "abcdef"
                               << "00:00";
    QTest::newRow("short text") << "12"
                                << "00:12";
    QTest::newRow("negative rounds to -0 s") << "-000123"
                                             << "00:00";
}

void TestLcdTime::formatLcdTime()
{
    QFETCH(QString, text);
    QFETCH(QString, lcd);
    QCOMPARE(Module1::FormatLcdTime(text), lcd);
}

void TestLcdTime::lcdText_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<QString>("lcd");
    QTest::newRow("245.678") << 245.678 << "04:05";
    QTest::newRow("59.996 rounds up to a minute") << 59.996 << "01:00";
    QTest::newRow("59.994 stays under") << 59.994 << "00:59";
    QTest::newRow("0.004 shows zero") << 0.004 << "00:00";
    QTest::newRow("just under 10 000 s") << 9999.99 << "166:39";
    QTest::newRow("10 000 s") << 10000.0 << "166:40";
    QTest::newRow("a day") << 86400.0 << "1440:00";
}

void TestLcdTime::lcdText()
{
    QFETCH(double, seconds);
    QFETCH(QString, lcd);
    QCOMPARE(Module1::LcdText(seconds), lcd);
}

QTEST_GUILESS_MAIN(TestLcdTime)
#include "tst_LcdTime.moc"
