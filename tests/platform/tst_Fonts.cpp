#include "Fonts.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
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
    void songTiIsASongFace_data();
    void songTiIsASongFace();
    void bitmapStrikes_data();
    void bitmapStrikes();
    void songTiSmoothingFollowsSize_data();
    void songTiSmoothingFollowsSize();
    void songTiDrawnInItsExactColour_data();
    void songTiDrawnInItsExactColour();
};

namespace {

const QString kUMing = QStringLiteral("AR PL UMing CN");

bool installed(const QString &face)
{
    return QFontDatabase::families().contains(face);
}

} // namespace

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

void TestFonts::songTiIsASongFace_data()
{
    QTest::addColumn<QString>("face");
    QTest::newRow("宋体") << QStringLiteral("宋体");
    QTest::newRow("SimSun") << QStringLiteral("SimSun");
    QTest::newRow("新宋体") << QStringLiteral("新宋体");
    QTest::newRow("NSimSun") << QStringLiteral("NSimSun");
}

// 宋体 is a Song (Ming) face, AR PL UMing from fonts-arphic-uming on Debian.
void TestFonts::songTiIsASongFace()
{
    QFETCH(QString, face);
    if (installed(face)) {
        QSKIP("the face itself is installed");
    }
    QVERIFY2(installed(kUMing), "fonts-arphic-uming is not installed");
    QCOMPARE(QFont::substitutes(face).value(0).toLower(), kUMing.toLower()); // kept lower-case
    QCOMPARE(QFontInfo(QFont(face, 9)).family(), kUMing);
    QCOMPARE(QFontInfo(songTiFont(9)).family(), kUMing);
}

void TestFonts::bitmapStrikes_data()
{
    // fonts-arphic-uming draws bitmaps at 11 to 16 pixels; WenQuanYi Zen Hei
    // has none (its bitmaps are in the separate "Sharp" face).
    QTest::addColumn<QString>("face");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("strike");
    QTest::newRow("UMing 10 px") << kUMing << 10 << false;
    QTest::newRow("UMing 11 px") << kUMing << 11 << true;
    QTest::newRow("UMing 12 px (9 pt)") << kUMing << 12 << true;
    QTest::newRow("UMing 16 px (12 pt)") << kUMing << 16 << true;
    QTest::newRow("UMing 17 px") << kUMing << 17 << false;
    QTest::newRow("Zen Hei 12 px") << QStringLiteral("WenQuanYi Zen Hei") << 12 << false;
}

void TestFonts::bitmapStrikes()
{
    QFETCH(QString, face);
    QFETCH(int, pixels);
    QFETCH(bool, strike);
    if (!installed(face)) {
        QSKIP("face not installed");
    }
    QFont font(face);
    font.setPixelSize(pixels);
    QCOMPARE(hasBitmapStrike(font), strike);
}

// Sizes drawn from UMing's bitmaps (11 to 16 px at 96 dpi) are not smoothed;
// each size and weight gets its own answer, asked in turn.
void TestFonts::songTiSmoothingFollowsSize_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("bitmaps");
    QTest::newRow("9 pt, 12 px") << 9.0 << false << true;
    QTest::newRow("13.5 pt, 18 px") << 13.5 << false << false;
    QTest::newRow("12 pt bold, 16 px") << 12.0 << true << true;
    QTest::newRow("14 pt bold, 19 px") << 14.0 << true << false;
    QTest::newRow("7 pt, 9 px") << 7.0 << false << false;
    QTest::newRow("9 pt again") << 9.0 << false << true;
}

void TestFonts::songTiSmoothingFollowsSize()
{
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(bool, bitmaps);
    if (!installed(kUMing) || QFontInfo(songTiFont(9)).family() != kUMing) {
        QSKIP("宋体 is not drawn from AR PL UMing here");
    }
    const QFont font = songTiFont(points, bold);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.styleStrategy() == QFont::NoAntialias, bitmaps);
}

void TestFonts::songTiDrawnInItsExactColour_data()
{
    QTest::addColumn<double>("points");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("text");
    QTest::newRow("9 pt") << 9.0 << false << QStringLiteral("播放时间：");
    QTest::newRow("10.5 pt") << 10.5 << false << QStringLiteral("歌曲名称：");
    QTest::newRow("12 pt bold") << 12.0 << true << QStringLiteral("00:00");
}

// Text in 宋体 reaches the image in exactly the colour it is drawn with, as
// SimSun's bitmaps do on the original system: orange on blue stays orange
// instead of blending into brown at the edges of every stroke.
void TestFonts::songTiDrawnInItsExactColour()
{
    QFETCH(double, points);
    QFETCH(bool, bold);
    QFETCH(QString, text);
    const QFont font = songTiFont(points, bold);
    QVERIFY(hasBitmapStrike(font));
    QVERIFY(font.styleStrategy() & QFont::NoAntialias);

    const QColor back(0, 0, 255);
    const QColor ink(255, 128, 0);
    QImage image(120, 30, QImage::Format_RGB32);
    image.fill(back);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(image.rect(), Qt::AlignCenter, text);
    painter.end();

    int inked = 0;
    int exact = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != back.rgb()) {
                ++inked;
                exact += pixel == ink.rgb() ? 1 : 0;
            }
        }
    }
    QVERIFY2(inked > 60, qPrintable(QString::number(inked)));
    QVERIFY2(exact * 10 >= inked * 9, qPrintable(QStringLiteral("%1 of %2").arg(exact).arg(inked)));
}

QTEST_MAIN(TestFonts)
#include "tst_Fonts.moc"
