#include "SysColors.h"

#include <QApplication>
#include <QtTest>

class TestSysColors : public QObject
{
    Q_OBJECT
  private slots:
    void conversions_data();
    void conversions();
    void outOfRange_data();
    void outOfRange();
    void followsApplicationPalette_data();
    void followsApplicationPalette();
};

void TestSysColors::conversions_data()
{
    QTest::addColumn<int>("bgr");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("red") << 0x0000FF << QColor(255, 0, 0);
    QTest::newRow("blue") << 0xFF0000 << QColor(0, 0, 255);
    QTest::newRow("window pink") << 0xFF80FF << QColor(255, 128, 255);
    QTest::newRow("mixed") << 0x123456 << QColor(0x56, 0x34, 0x12);
}

void TestSysColors::conversions()
{
    QFETCH(int, bgr);
    QFETCH(QColor, colour);
    QCOMPARE(toQColor(bgr), colour);
    QCOMPARE(fromQColor(colour), bgr);
}

void TestSysColors::outOfRange_data()
{
    QTest::addColumn<int>("index");
    QTest::newRow("-1") << -1;
    QTest::newRow("25") << 25;
    QTest::newRow("1000") << 1000;
}

void TestSysColors::outOfRange()
{
    QFETCH(int, index);
    QCOMPARE(sysColor(index), 0);
}

void TestSysColors::followsApplicationPalette_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("group");
    QTest::addColumn<int>("role");
    QTest::newRow("window") << 5 << int(QPalette::Active) << int(QPalette::Base);
    QTest::newRow("window text") << 8 << int(QPalette::Active) << int(QPalette::Text);
    QTest::newRow("highlight") << 13 << int(QPalette::Active) << int(QPalette::Highlight);
    QTest::newRow("button face") << 15 << int(QPalette::Active) << int(QPalette::Button);
    QTest::newRow("grey text") << 17 << int(QPalette::Disabled) << int(QPalette::Text);
    QTest::newRow("button text") << 18 << int(QPalette::Active) << int(QPalette::ButtonText);
    QTest::newRow("tool tip") << 24 << int(QPalette::Active) << int(QPalette::ToolTipBase);
}

void TestSysColors::followsApplicationPalette()
{
    QFETCH(int, index);
    QFETCH(int, group);
    QFETCH(int, role);
    const QPalette original = QApplication::palette();
    QPalette changed = original;
    const QColor marker(11, 22, 33 + index);
    changed.setColor(QPalette::ColorGroup(group), QPalette::ColorRole(role), marker);
    QApplication::setPalette(changed);
    const int32_t actual = sysColor(index);
    QApplication::setPalette(original);
    QCOMPARE(actual, fromQColor(marker));
}

QTEST_MAIN(TestSysColors)
#include "tst_SysColors.moc"
