// The real Plovi executable and the real program launcher, with a stand-in
// Nobix placed beside the player.
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "Twips.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QtTest>

namespace {

// Ends a started process when the test leaves, whatever the outcome.
class ProcessGuard
{
  public:
    explicit ProcessGuard(QProcess &process) : m_process(process) {}
    ~ProcessGuard()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

  private:
    QProcess &m_process;
};

// A temporary install: Plovi copied from the build, a stand-in Nobix that
// leaves a marker file, and optionally a bindings file.
struct Install
{
    QTemporaryDir dir;
    [[nodiscard]] QString path(const QString &name) const { return dir.filePath(name); }
    [[nodiscard]] QString marker() const { return path("nobix-started"); }

    bool make(const QByteArray *bindings)
    {
        if (!dir.isValid() ||
            !QFile::copy(QStringLiteral(PLOVI_DELIVERY_DIR "/Plovi"), path("Plovi"))) {
            return false;
        }
        QFile nobix(path("Nobix"));
        if (!nobix.open(QIODevice::WriteOnly)) {
            return false;
        }
        nobix.write(QStringLiteral("#!/bin/sh\necho started >> '%1'\n").arg(marker()).toUtf8());
        nobix.close();
        nobix.setPermissions(nobix.permissions() | QFileDevice::ExeOwner);
        if (bindings != nullptr) {
            QFile f(path("yygj"));
            if (!f.open(QIODevice::WriteOnly) || f.write(*bindings) != bindings->size()) {
                return false;
            }
        }
        return true;
    }
};

// Process ids of running programs whose executable is the given file.
QSet<QString> processesOf(const QString &executable)
{
    QSet<QString> pids;
    const QString wanted = QFileInfo(executable).canonicalFilePath();
    for (const QString &pid : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        if (QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).canonicalFilePath() == wanted) {
            pids.insert(pid);
        }
    }
    return pids;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestPloviEndToEnd : public QObject
{
    Q_OBJECT
  private slots:
    void startsAndStaysUp_data();
    void startsAndStaysUp();
    void aboutStartsNobixBesideThePlayer();
    void aboutClickOnTheRealWindow();
    void aboutStartsTheRealNobix();
};

void TestPloviEndToEnd::startsAndStaysUp_data()
{
    QTest::addColumn<bool>("withBindings");
    QTest::newRow("with yygj") << true;
    QTest::newRow("without yygj") << false;
}

void TestPloviEndToEnd::startsAndStaysUp()
{
    QFETCH(bool, withBindings);
    const QByteArray bindings = "\"/music/a.mp3\",\"a\"\r\n";
    Install install;
    QVERIFY(install.make(withBindings ? &bindings : nullptr));

    QProcess plovi;
    ProcessGuard guard(plovi);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    plovi.setProcessEnvironment(env);
    plovi.setWorkingDirectory(QDir::tempPath());
    plovi.start(install.path("Plovi"), {});
    QVERIFY(plovi.waitForStarted(10000));
    QVERIFY2(!plovi.waitForFinished(3000), plovi.readAllStandardError().constData());
    QCOMPARE(plovi.state(), QProcess::Running);
    plovi.kill();
    QVERIFY(plovi.waitForFinished(10000));
    QCOMPARE(plovi.exitStatus(), QProcess::CrashExit); // ended by the kill, not by itself
    QCOMPARE(QFile::exists(install.path("yygj")), withBindings);
    if (withBindings) {
        QCOMPARE(readAll(install.path("yygj")), bindings);
    }
    QVERIFY(!QFile::exists(install.marker()));
}

// The player library with the real launcher resolving "Nobix.exe" in the
// install directory.
void TestPloviEndToEnd::aboutStartsNobixBesideThePlayer()
{
    Install install;
    QVERIFY(install.make(nullptr));
    PlayerHarness h;
    ProcessLauncher launcher(install.dir.path());
    plovi::PlayerWindow form(h.services(&launcher));
    form.show();
    QTest::mouseClick(form.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(install.marker()), 10000);
    QVERIFY(h.messages.shown().isEmpty());
}

// The real executable on an X server of its own, clicked like a user would.
void TestPloviEndToEnd::aboutClickOnTheRealWindow()
{
    const QString xvfb = QStandardPaths::findExecutable("Xvfb");
    const QString xdotool = QStandardPaths::findExecutable("xdotool");
    if (xvfb.isEmpty() || xdotool.isEmpty()) {
        QSKIP("needs Xvfb and xdotool");
    }
    Install install;
    QVERIFY(install.make(nullptr));

    QProcess server;
    ProcessGuard serverGuard(server);
    server.start(xvfb, {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
    QVERIFY(server.waitForStarted(10000));
    QByteArray number;
    while (!number.contains('\n') && server.waitForReadyRead(15000)) {
        number += server.readAllStandardOutput();
    }
    QVERIFY2(number.contains('\n'), "Xvfb did not report its display");
    const QString display = QStringLiteral(":%1").arg(QString::fromLatin1(number.trimmed()));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.remove("WAYLAND_DISPLAY");
    QProcess plovi;
    ProcessGuard ploviGuard(plovi);
    plovi.setProcessEnvironment(env);
    plovi.start(install.path("Plovi"), {});
    QVERIFY(plovi.waitForStarted(10000));

    auto runTool = [&](const QStringList &args) {
        QProcess tool;
        ProcessGuard toolGuard(tool);
        tool.setProcessEnvironment(env);
        tool.start(xdotool, args);
        if (!tool.waitForFinished(15000) || tool.exitCode() != 0) {
            return QByteArray();
        }
        return tool.readAllStandardOutput().trimmed();
    };
    const QByteArray window = runTool({"search", "--sync", "--onlyvisible", "--name", "^Plovi$"});
    QVERIFY2(!window.isEmpty(), "the player's window did not appear");
    QCOMPARE(plovi.state(), QProcess::Running);

    // Middle of "关于" at 15 twips per pixel (Xvfb's default 96 DPI).
    const int x = (390 + 315 / 2) / 15;
    const int y = (7000 + 525 / 2) / 15;
    const QString id = QString::fromLatin1(window.split('\n').first());
    runTool({"mousemove", "--window", id, QString::number(x), QString::number(y), "click", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(install.marker()), 10000);
    runTool({"mousemove", "--window", id, QString::number(x), QString::number(y), "click", "1"});
    QTRY_COMPARE_WITH_TIMEOUT(readAll(install.marker()).count('\n'), 2, 10000);
    QCOMPARE(plovi.state(), QProcess::Running);
}

// "关于" with the real launcher and the real Nobix of the build: a new Nobix
// process appears and ends by itself.
void TestPloviEndToEnd::aboutStartsTheRealNobix()
{
    const QString nobix = QStringLiteral(PLOVI_DELIVERY_DIR "/Nobix");
    if (!QFile::exists(nobix)) {
        QSKIP("Nobix is not built");
    }
    PlayerHarness h;
    ProcessLauncher launcher(QStringLiteral(PLOVI_DELIVERY_DIR));
    plovi::PlayerWindow form(h.services(&launcher));
    form.show();
    const QSet<QString> before = processesOf(nobix);
    QTest::mouseClick(form.findChild<QPushButton *>("Command1"), Qt::LeftButton);
    QVERIFY(h.messages.shown().isEmpty());

    QSet<QString> started;
    QTRY_VERIFY_WITH_TIMEOUT(!(started = processesOf(nobix) - before).isEmpty(), 5000);
    QTRY_VERIFY_WITH_TIMEOUT((processesOf(nobix) & started).isEmpty(), 8000);
}

QTEST_MAIN(TestPloviEndToEnd)
#include "tst_PloviEndToEnd.moc"
