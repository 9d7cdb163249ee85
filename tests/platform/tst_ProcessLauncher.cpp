#include "AppPaths.h"
#include "ProcessLauncher.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// A program that writes its marker file, named after the program.
void writeProgram(const QString &dir, const QString &name, const QString &markerDir)
{
    QFile f(QDir(dir).filePath(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\ntouch '%1/%2.ran'\n").arg(markerDir, name).toUtf8());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
}

class PathGuard
{
  public:
    explicit PathGuard(const QByteArray &path) : m_saved(qgetenv("PATH")) { qputenv("PATH", path); }
    ~PathGuard() { qputenv("PATH", m_saved); }

  private:
    const QByteArray m_saved;
};

} // namespace

class TestProcessLauncher : public QObject
{
    Q_OBJECT
  private slots:
    void programDirIsExecutablesDirectory();
    void resolvesBesideProgramFirst();
    void resolvesOnPath();
    void neverCurrentDirectory_data();
    void neverCurrentDirectory();
    void refusesPaths_data();
    void refusesPaths();
    void launchesDetached();
    void launchTwiceStartsTwo();
    void reportsMissingProgram();
    void reportsStartFailure();
};

void TestProcessLauncher::programDirIsExecutablesDirectory()
{
    const QString saved = QDir::currentPath();
    QTemporaryDir elsewhere;
    QVERIFY(QDir::setCurrent(elsewhere.path()));
    const QString dir = programDir();
    QDir::setCurrent(saved);
    QCOMPARE(dir, QFileInfo(QCoreApplication::applicationFilePath()).absolutePath());
    QVERIFY(dir != elsewhere.path());
}

void TestProcessLauncher::resolvesBesideProgramFirst()
{
    QTemporaryDir beside;
    QTemporaryDir onPath;
    writeProgram(beside.path(), "Nobix", beside.path());
    writeProgram(onPath.path(), "Nobix", onPath.path());
    PathGuard path(onPath.path().toUtf8());
    const ProcessLauncher launcher(beside.path());
    QCOMPARE(launcher.resolve("Nobix.exe"), QDir(beside.path()).filePath("Nobix"));
    QCOMPARE(launcher.resolve("Nobix.EXE"), QDir(beside.path()).filePath("Nobix"));
    QCOMPARE(launcher.resolve("Nobix"), QDir(beside.path()).filePath("Nobix"));
}

void TestProcessLauncher::resolvesOnPath()
{
    QTemporaryDir beside;
    QTemporaryDir onPath;
    writeProgram(onPath.path(), "Tarvel", onPath.path());
    PathGuard path(("/nonexistent:" + onPath.path()).toUtf8());
    QCOMPARE(ProcessLauncher(beside.path()).resolve("Tarvel.exe"),
             QDir(onPath.path()).filePath("Tarvel"));
}

void TestProcessLauncher::neverCurrentDirectory_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("empty PATH entry") << QByteArray(":/nonexistent");
    QTest::newRow("dot on PATH") << QByteArray(".:/nonexistent");
    QTest::newRow("relative entry") << QByteArray("./:sub");
}

void TestProcessLauncher::neverCurrentDirectory()
{
    QFETCH(QByteArray, path);
    QTemporaryDir current;
    QTemporaryDir beside;
    writeProgram(current.path(), "Nobix", current.path());
    QVERIFY(QDir(current.path()).mkdir("sub"));
    writeProgram(current.filePath("sub"), "Nobix", current.path());
    const QString saved = QDir::currentPath();
    QVERIFY(QDir::setCurrent(current.path()));
    PathGuard guard(path);
    ProcessLauncher launcher(beside.path());
    const QString resolved = launcher.resolve("Nobix.exe");
    const Result<void> started = launcher.launchProgram("Nobix.exe");
    QDir::setCurrent(saved);
    QCOMPARE(resolved, QString());
    QVERIFY(!started.ok());
    QCOMPARE(started.error(), QString()); // not found
    QVERIFY(!QFile::exists(current.filePath("Nobix.ran")));
}

void TestProcessLauncher::refusesPaths_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << "";
    QTest::newRow("relative path") << "sub/Nobix";
    QTest::newRow("absolute path") << "/bin/sh";
    QTest::newRow("dot") << ".";
}

void TestProcessLauncher::refusesPaths()
{
    QFETCH(QString, name);
    QTemporaryDir beside;
    QVERIFY(QDir(beside.path()).mkdir("sub"));
    writeProgram(beside.filePath("sub"), "Nobix", beside.path());
    QCOMPARE(ProcessLauncher(beside.path()).resolve(name), QString());
}

void TestProcessLauncher::launchesDetached()
{
    QTemporaryDir beside;
    writeProgram(beside.path(), "Nobix", beside.path());
    ProcessLauncher launcher(beside.path());
    QVERIFY(launcher.launchProgram("Nobix.exe").ok());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(beside.filePath("Nobix.ran")), 10000);
}

void TestProcessLauncher::launchTwiceStartsTwo()
{
    QTemporaryDir beside;
    QFile f(beside.filePath("Nobix"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\necho x >> '%1/count'\n").arg(beside.path()).toUtf8());
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    ProcessLauncher launcher(beside.path());
    QVERIFY(launcher.launchProgram("Nobix.exe").ok());
    QVERIFY(launcher.launchProgram("Nobix.exe").ok());
    QTRY_COMPARE_WITH_TIMEOUT(
        [&] {
            QFile count(beside.filePath("count"));
            return count.open(QIODevice::ReadOnly) ? count.readAll().count('\n') : 0;
        }(),
        2, 10000);
}

void TestProcessLauncher::reportsMissingProgram()
{
    QTemporaryDir beside;
    PathGuard path("/nonexistent");
    const Result<void> started = ProcessLauncher(beside.path()).launchProgram("Nobix.exe");
    QVERIFY(!started.ok());
    QCOMPARE(started.error(), QString());
}

// A program that resolves but cannot start: the system's reason, non-empty so
// that it is never taken for "not found".
void TestProcessLauncher::reportsStartFailure()
{
    QTemporaryDir beside;
    QFile f(beside.filePath("Nobix"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("#!/nonexistent/interpreter\n");
    f.close();
    QVERIFY(f.setPermissions(f.permissions() | QFileDevice::ExeOwner));
    ProcessLauncher launcher(beside.path());
    QCOMPARE(launcher.resolve("Nobix.exe"), beside.filePath("Nobix"));
    const Result<void> started = launcher.launchProgram("Nobix.exe");
    QVERIFY(!started.ok());
    QVERIFY(!started.error().isEmpty());
    // The player words the message; the launcher only passes the reason on.
    QVERIFY(!started.error().contains(QStringLiteral("无法启动")));
}

QTEST_GUILESS_MAIN(TestProcessLauncher)
#include "tst_ProcessLauncher.moc"
