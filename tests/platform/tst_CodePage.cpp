#include "CodePage.h"

#include <QtTest>

class TestCodePage : public QObject
{
    Q_OBJECT
  private slots:
    void gbkBytes_data();
    void gbkBytes();
    void beyondGbkRoundTrips_data();
    void beyondGbkRoundTrips();
    void badBytes_data();
    void badBytes();
    void longTextCrossesBuffers();
};

void TestCodePage::gbkBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("D:\\music\\a,b.mp3") << "D:\\music\\a,b.mp3";
    QTest::newRow("nihao") << QByteArray("\xC4\xE3\xBA\xC3") << QStringLiteral("你好");
    QTest::newRow("track") << QByteArray("\xB9\xEC\xBC\xA3 01") << QStringLiteral("轨迹 01");
    QTest::newRow("GBK-only hanzi") << QByteArray("\x81\x40") << QStringLiteral("丂");
    QTest::newRow("full-width colon") << QByteArray("\xA3\xBA") << QStringLiteral("：");
}

void TestCodePage::gbkBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codepage::fromGb18030(bytes), text);
    QCOMPARE(codepage::toGb18030(text), bytes);
}

void TestCodePage::beyondGbkRoundTrips_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("Korean") << QStringLiteral("음악/노래.mp3");
    QTest::newRow("emoji") << QStringLiteral("\U0001F3B5 song");
    QTest::newRow("accents") << QStringLiteral("café/Ærø.mp3");
}

void TestCodePage::beyondGbkRoundTrips()
{
    QFETCH(QString, text);
    const QByteArray bytes = codepage::toGb18030(text);
    QVERIFY(!bytes.contains('?'));
    QCOMPARE(codepage::fromGb18030(bytes), text);
}

void TestCodePage::badBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("0xFF alone") << QByteArray("a\xFF"
                                              "b")
                                << QStringLiteral("a\uFFFDb");
    QTest::newRow("truncated pair") << QByteArray("a\xC4") << QStringLiteral("a\uFFFD");
    QTest::newRow("NUL kept") << QByteArray("a\0b", 3) << QString::fromLatin1("a\0b", 3);
}

void TestCodePage::badBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(codepage::fromGb18030(bytes), text);
}

void TestCodePage::longTextCrossesBuffers()
{
    const QString text = QStringLiteral("轨迹\U0001F3B5,").repeated(5000);
    QCOMPARE(codepage::fromGb18030(codepage::toGb18030(text)), text);
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "tst_CodePage.moc"
