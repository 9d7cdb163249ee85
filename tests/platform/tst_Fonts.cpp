#include "Fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QtTest>

class TestFonts : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void songTiShowsHanzi_data();
    void songTiShowsHanzi();
    void substitutesNamedFaces_data();
    void substitutesNamedFaces();
};

void TestFonts::initTestCase()
{
    registerFontSubstitutions();
}

void TestFonts::songTiShowsHanzi_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::newRow("9 pt") << 9.0 << false;
    QTest::newRow("12 pt bold") << 12.0 << true;
}

void TestFonts::songTiShowsHanzi()
{
    QFETCH(double, points);
    QFETCH(bool, bold);
    const QFont font = songTiFont(points, bold);
    QCOMPARE(font.pointSizeF(), points);
    QCOMPARE(font.bold(), bold);
    const QFontMetrics metrics(font);
    for (const QChar c : QStringLiteral("请设置音乐轨迹播放剩余时间")) {
        QVERIFY2(metrics.inFont(c), qPrintable(QFontInfo(font).family()));
    }
}

void TestFonts::substitutesNamedFaces_data()
{
    QTest::addColumn<QString>("face");
    QTest::newRow("宋体") << QStringLiteral("宋体");
    QTest::newRow("SimSun") << QStringLiteral("SimSun");
    QTest::newRow("华文彩云") << QStringLiteral("华文彩云");
    QTest::newRow("STCaiyun") << QStringLiteral("STCaiyun");
}

void TestFonts::substitutesNamedFaces()
{
    QFETCH(QString, face);
    if (QFontDatabase::families().contains(face)) {
        QSKIP("the face itself is installed");
    }
    const QStringList substitutes = QFont::substitutes(face);
    QVERIFY(!substitutes.isEmpty());
    QVERIFY(QFontMetrics(QFont(face, 10)).inFont(QChar(0x97F3))); // 音
}

QTEST_MAIN(TestFonts)
#include "tst_Fonts.moc"
