#include "ColourDraw.h"
#include "Module1.h"
#include "QBColor.h"

#include <QtTest>

#include <limits>

class TestModule1 : public QObject
{
    Q_OBJECT
private slots:
    void formatSixDigits_data();
    void formatSixDigits();
    void formatLcdTime_data();
    void formatLcdTime();
    void lcdText_data();
    void lcdText();
    void paletteEntries_data();
    void paletteEntries();
    void drawCoversFourValues_data();
    void drawCoversFourValues();
    void defaultDrawIsUnseededAndInRange();
};

void TestModule1::formatSixDigits_data()
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

void TestModule1::formatSixDigits()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(Module1::FormatSixDigits(value), text);
}

void TestModule1::formatLcdTime_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("lcd");
    QTest::newRow("zero") << "000000" << "00:00";
    QTest::newRow("245 s") << "024568" << "04:05";
    QTest::newRow("exactly a minute") << "006000" << "01:00";
    QTest::newRow("59.99 s truncates") << "005999" << "00:59";
    QTest::newRow("largest six-digit") << "999999" << "166:39";
    QTest::newRow("10 000 s") << "1000000" << "166:40";
    QTest::newRow("ten hours") << "3600000" << "600:00";
    QTest::newRow("no digits") << "abcdef" << "00:00";
    QTest::newRow("short text") << "12" << "00:12";
    QTest::newRow("negative rounds to -0 s") << "-000123" << "00:00";
}

void TestModule1::formatLcdTime()
{
    QFETCH(QString, text);
    QFETCH(QString, lcd);
    QCOMPARE(Module1::FormatLcdTime(text), lcd);
}

void TestModule1::lcdText_data()
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

void TestModule1::lcdText()
{
    QFETCH(double, seconds);
    QFETCH(QString, lcd);
    QCOMPARE(Module1::LcdText(seconds), lcd);
}

void TestModule1::paletteEntries_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<int>("bgr");
    QTest::newRow("9 light blue") << 9 << 0xFF0000;
    QTest::newRow("10 light green") << 10 << 0x00FF00;
    QTest::newRow("11 light cyan") << 11 << 0xFFFF00;
    QTest::newRow("12 light red") << 12 << 0x0000FF;
    QTest::newRow("13 light magenta") << 13 << 0xFF00FF;
    QTest::newRow("14 yellow") << 14 << 0x00FFFF;
    QTest::newRow("15 bright white") << 15 << 0xFFFFFF;
    QTest::newRow("out of range") << 16 << 0;
}

void TestModule1::paletteEntries()
{
    QFETCH(int, number);
    QFETCH(int, bgr);
    QCOMPARE(QBColor(static_cast<int16_t>(number)), bgr);
}

void TestModule1::drawCoversFourValues_data()
{
    QTest::addColumn<double>("u");
    QTest::addColumn<int>("r");
    QTest::newRow("0") << 0.0 << 14;
    QTest::newRow("just under a quarter") << 0.2499 << 14;
    QTest::newRow("a quarter") << 0.25 << 15;
    QTest::newRow("a half") << 0.5 << 16;
    QTest::newRow("three quarters") << 0.75 << 17;
    QTest::newRow("just under 1") << 0.999999 << 17;
    QTest::newRow("stray 1.0 stays in range") << 1.0 << 17;
    QTest::newRow("stray negative stays in range") << -0.1 << 14;
}

void TestModule1::drawCoversFourValues()
{
    QFETCH(double, u);
    QFETCH(int, r);
    ColourDraw draw([u] { return u; });
    QCOMPARE(draw.draw(), r);
}

void TestModule1::defaultDrawIsUnseededAndInRange()
{
    ColourDraw first;
    ColourDraw second;
    QList<int> seen(4, 0);
    for (int i = 0; i < 400; ++i) {
        const int r = first.draw();
        QVERIFY(r >= 14 && r <= 17);
        ++seen[r - 14];
        // Never seeded: two generators give the same sequence.
        QCOMPARE(second.draw(), r);
    }
    for (int count : seen) {
        QVERIFY2(count > 50, "each of the four draws comes up about a quarter of the time");
    }
}

QTEST_GUILESS_MAIN(TestModule1)
#include "tst_Module1.moc"
