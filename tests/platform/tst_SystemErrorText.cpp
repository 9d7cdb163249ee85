#include "ChineseLocale.h"
#include "SystemErrorText.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <clocale>

class TestSystemErrorText : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void englishWithoutTheChineseLocale_data();
    void englishWithoutTheChineseLocale();
    void chineseWhereTheSystemHasIt_data();
    void chineseWhereTheSystemHasIt();
    void leavesErrnoAlone();

  private:
    QTemporaryDir m_noLocales;
    QTemporaryDir m_locales;
};

void TestSystemErrorText::initTestCase()
{
    QVERIFY(m_noLocales.isValid());
    QVERIFY(m_locales.isValid());
    qunsetenv("LANGUAGE");
}

void TestSystemErrorText::englishWithoutTheChineseLocale_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("ENOENT") << ENOENT << "No such file or directory";
    QTest::newRow("EACCES") << EACCES << "Permission denied";
    QTest::newRow("EFBIG") << EFBIG << "File too large";
}

// With no locale but C to be found (LOCPATH names an empty folder), the C
// text, whatever the process's own locale.
void TestSystemErrorText::englishWithoutTheChineseLocale()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    const QByteArray before = qgetenv("LOCPATH");
    qputenv("LOCPATH", QFile::encodeName(m_noLocales.path()));
    const QString shown = systemErrorText(error);
    if (before.isEmpty()) {
        qunsetenv("LOCPATH");
    } else {
        qputenv("LOCPATH", before);
    }
    QCOMPARE(shown, text);
}

void TestSystemErrorText::chineseWhereTheSystemHasIt_data()
{
    // glibc's zh_CN messages.
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("text");
    QTest::newRow("ENOENT") << ENOENT << QStringLiteral("没有那个文件或目录");
    QTest::newRow("EACCES") << EACCES << QStringLiteral("权限不够");
    QTest::newRow("ENOTDIR") << ENOTDIR << QStringLiteral("不是目录");
    QTest::newRow("EFBIG") << EFBIG << QStringLiteral("文件过大");
}

void TestSystemErrorText::chineseWhereTheSystemHasIt()
{
    QFETCH(int, error);
    QFETCH(QString, text);
    if (!reachChineseMessages(m_locales.path())) {
        QSKIP("no zh_CN.UTF-8 locale or no Chinese glibc messages here");
    }
    std::setlocale(LC_ALL, "C");
    QCOMPARE(systemErrorText(error), text);
}

void TestSystemErrorText::leavesErrnoAlone()
{
    errno = EINTR;
    QVERIFY(!systemErrorText(ENOENT).isEmpty());
    QCOMPARE(errno, EINTR);
}

QTEST_MAIN(TestSystemErrorText)
#include "tst_SystemErrorText.moc"
