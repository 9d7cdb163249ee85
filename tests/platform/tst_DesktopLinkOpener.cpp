#include "DesktopLinkOpener.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// An "xdg-open" that records its argument in <markerDir>/<tag>.ran.
void writeOpener(const QString &dir, const QString &tag, const QString &markerDir)
{
    QVERIFY(QDir().mkpath(dir));
    QFile f(QDir(dir).filePath(QStringLiteral("xdg-open")));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\necho \"$1\" > '%1/%2.ran'\n").arg(markerDir, tag).toUtf8());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
}

QByteArray readMarker(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

} // namespace

class TestDesktopLinkOpener : public QObject
{
    Q_OBJECT
  private slots:
    void neverRunsFromCurrentDirectory_data();
    void neverRunsFromCurrentDirectory();
    void refusesOtherVerbsAndBadTargets_data();
    void refusesOtherVerbsAndBadTargets();
};

void TestDesktopLinkOpener::neverRunsFromCurrentDirectory_data()
{
    QTest::addColumn<QString>("pathTemplate"); // %1: the absolute folder with an opener
    QTest::addColumn<bool>("opens");

    QTest::newRow("dot first") << ".:%1" << true;
    QTest::newRow("empty entry first") << ":%1" << true;
    QTest::newRow("relative entry") << "here:%1" << true;
    QTest::newRow("only dot") << "." << false;
    QTest::newRow("only empty") << "" << false;
}

void TestDesktopLinkOpener::neverRunsFromCurrentDirectory()
{
    QFETCH(QString, pathTemplate);
    QFETCH(bool, opens);

    QTemporaryDir root;
    const QString markers = root.filePath(QStringLiteral("markers"));
    QVERIFY(QDir().mkpath(markers));
    const QString cwd = root.filePath(QStringLiteral("cwd"));
    writeOpener(cwd, QStringLiteral("cwd"), markers);
    writeOpener(QDir(cwd).filePath(QStringLiteral("here")), QStringLiteral("relative"), markers);
    const QString bin = root.filePath(QStringLiteral("bin"));
    writeOpener(bin, QStringLiteral("absolute"), markers);

    const QString savedDir = QDir::currentPath();
    const QByteArray savedPath = qgetenv("PATH");
    QVERIFY(QDir::setCurrent(cwd));
    qputenv("PATH", pathTemplate.arg(bin).toLocal8Bit());

    DesktopLinkOpener opener;
    const bool accepted = opener.openLink(
        {nullptr, QStringLiteral("open"), QStringLiteral("mailto:someone@example.org"), {}, {}, 1});

    qputenv("PATH", savedPath);
    QDir::setCurrent(savedDir);

    QCOMPARE(accepted, opens);
    if (opens) {
        QTRY_COMPARE(readMarker(markers + QStringLiteral("/absolute.ran")),
                     QByteArray("mailto:someone@example.org"));
    }
    // Give a wrongly started opener time to leave its mark.
    QTest::qWait(200);
    QVERIFY(!QFile::exists(markers + QStringLiteral("/cwd.ran")));
    QVERIFY(!QFile::exists(markers + QStringLiteral("/relative.ran")));
}

void TestDesktopLinkOpener::refusesOtherVerbsAndBadTargets_data()
{
    QTest::addColumn<QString>("verb");
    QTest::addColumn<QString>("target");

    QTest::newRow("print") << "print"
                           << "https://example.org/";
    QTest::newRow("no scheme") << "open"
                               << "example.org";
    QTest::newRow("invalid") << "open"
                             << "http://exa mple.org:99999/";
}

void TestDesktopLinkOpener::refusesOtherVerbsAndBadTargets()
{
    QFETCH(QString, verb);
    QFETCH(QString, target);

    QTemporaryDir root;
    const QString bin = root.filePath(QStringLiteral("bin"));
    writeOpener(bin, QStringLiteral("absolute"), root.path());
    const QByteArray savedPath = qgetenv("PATH");
    qputenv("PATH", bin.toLocal8Bit());
    DesktopLinkOpener opener;
    const bool accepted = opener.openLink({nullptr, verb, target, {}, {}, 1});
    qputenv("PATH", savedPath);

    QVERIFY(!accepted);
    QTest::qWait(100);
    QVERIFY(!QFile::exists(root.filePath(QStringLiteral("absolute.ran"))));
}

QTEST_GUILESS_MAIN(TestDesktopLinkOpener)
#include "tst_DesktopLinkOpener.moc"
