#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// The installed `plovi` command is a link into the programs' private folder;
// started through it, a program must still find its own folder (the chimes,
// Nobix and Tarvel sit there).
class TestProgramDirThroughLink : public QObject
{
    Q_OBJECT
  private slots:
    void throughLink_data();
    void throughLink();
};

void TestProgramDirThroughLink::throughLink_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("before the application object") << QStringList{};
    QTest::newRow("with the application object") << QStringList{QStringLiteral("app")};
}

void TestProgramDirThroughLink::throughLink()
{
    QFETCH(QStringList, arguments);
    const QString helper = QStringLiteral(PLOVI_PRINT_PROGRAM_DIR);
    QVERIFY(QFileInfo(helper).isExecutable());
    const QString realDir = QFileInfo(helper).canonicalPath();

    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    const QString link = bin.filePath(QStringLiteral("plovi"));
    QVERIFY(QFile::link(QDir(bin.path()).relativeFilePath(helper), link));
    QVERIFY(QFileInfo(link).isSymLink());

    QProcess process;
    process.setWorkingDirectory(bin.path());
    process.start(link, arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(QString::fromLocal8Bit(process.readAllStandardOutput()), realDir);
    QVERIFY(realDir != bin.path());
}

QTEST_GUILESS_MAIN(TestProgramDirThroughLink)
#include "tst_ProgramDirThroughLink.moc"
