// The real Plovi executable and the real program launcher, with a stand-in
// Nobix placed beside the player.
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "ProcessLauncher.h"
#include "Twips.h"

#include <QDir>
#include <QElapsedTimer>
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

// An X server of the test's own (Xvfb on a display it picks itself), with
// xdotool to drive it and, on request, openbox as its window manager.
class XSession
{
  public:
    XSession()
        : m_xvfb(QStandardPaths::findExecutable("Xvfb")),
          m_xdotool(QStandardPaths::findExecutable("xdotool"))
    {}

    // Empty when every tool is there, else what is missing.
    [[nodiscard]] QString missing(bool withWindowManager) const
    {
        QStringList absent;
        if (m_xvfb.isEmpty()) {
            absent << "Xvfb";
        }
        if (m_xdotool.isEmpty()) {
            absent << "xdotool";
        }
        if (withWindowManager && QStandardPaths::findExecutable("openbox").isEmpty()) {
            absent << "openbox";
        }
        return absent.join(", ");
    }

    // The environment for a program on this display: the xcb platform, no
    // Wayland.
    [[nodiscard]] const QProcessEnvironment &env() const { return m_env; }

    bool start()
    {
        m_server.start(m_xvfb,
                       {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(10000)) {
            return false;
        }
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(15000)) {
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            return false;
        }
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.insert("DISPLAY", QStringLiteral(":%1").arg(QString::fromLatin1(number.trimmed())));
        m_env.insert("QT_QPA_PLATFORM", "xcb");
        m_env.remove("WAYLAND_DISPLAY");
        return true;
    }

    // openbox with an empty configuration of its own (its defaults), no
    // session manager; returns once it manages the screen.
    bool startWindowManager()
    {
        if (!m_config.isValid()) {
            return false;
        }
        const QString rc = m_config.filePath("rc.xml");
        QFile file(rc);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write("<?xml version=\"1.0\"?>\n"
                       "<openbox_config xmlns=\"http://openbox.org/3.4/rc\"/>\n") < 0) {
            return false;
        }
        file.close();
        QProcessEnvironment env = m_env;
        env.insert("XDG_CONFIG_HOME", m_config.path());
        m_windowManager.setProcessEnvironment(env);
        m_windowManager.start(QStandardPaths::findExecutable("openbox"),
                              {"--sm-disable", "--config-file", rc});
        if (!m_windowManager.waitForStarted(10000)) {
            return false;
        }
        // xdotool reads the current desktop only from a window manager that
        // publishes it.
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 15000) {
            if (m_windowManager.state() != QProcess::Running) {
                return false;
            }
            if (act({"get_desktop"})) {
                return true;
            }
            QTest::qWait(100);
        }
        return false;
    }

    // xdotool's output, or empty when it failed.
    QByteArray xdotool(const QStringList &args) const
    {
        QProcess tool;
        return run(tool, args) ? tool.readAllStandardOutput().trimmed() : QByteArray();
    }

    // Whether xdotool did what args ask.
    bool act(const QStringList &args) const
    {
        QProcess tool;
        return run(tool, args);
    }

    // Top-left corner of a window, from xdotool; (-1, -1) when unknown.
    [[nodiscard]] QPoint position(const QString &window) const
    {
        QPoint at(-1, -1);
        for (const QByteArray &line :
             xdotool({"getwindowgeometry", "--shell", window}).split('\n')) {
            if (line.startsWith("X=")) {
                at.setX(line.mid(2).toInt());
            } else if (line.startsWith("Y=")) {
                at.setY(line.mid(2).toInt());
            }
        }
        return at;
    }

  private:
    bool run(QProcess &tool, const QStringList &args) const
    {
        ProcessGuard guard(tool);
        tool.setProcessEnvironment(m_env);
        tool.start(m_xdotool, args);
        return tool.waitForFinished(15000) && tool.exitStatus() == QProcess::NormalExit &&
               tool.exitCode() == 0;
    }

    const QString m_xvfb;
    const QString m_xdotool;
    QProcessEnvironment m_env;
    QTemporaryDir m_config;
    // Declared last, so they end first: the window manager before the server.
    QProcess m_server;
    ProcessGuard m_serverGuard{m_server};
    QProcess m_windowManager;
    ProcessGuard m_windowManagerGuard{m_windowManager};
};

} // namespace

class TestPloviEndToEnd : public QObject
{
    Q_OBJECT
  private slots:
    void startsAndStaysUp_data();
    void startsAndStaysUp();
    void aboutStartsNobixBesideThePlayer();
    void aboutClickOnTheRealWindow();
    void dragUnderWindowManager_data();
    void dragUnderWindowManager();
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
    XSession x;
    if (const QString absent = x.missing(false); !absent.isEmpty()) {
        QSKIP(qPrintable("needs " + absent));
    }
    Install install;
    QVERIFY(install.make(nullptr));
    QVERIFY2(x.start(), "Xvfb did not report its display");

    QProcess plovi;
    ProcessGuard ploviGuard(plovi);
    plovi.setProcessEnvironment(x.env());
    plovi.start(install.path("Plovi"), {});
    QVERIFY(plovi.waitForStarted(10000));

    const QByteArray window = x.xdotool({"search", "--sync", "--onlyvisible", "--name", "^Plovi$"});
    QVERIFY2(!window.isEmpty(), "the player's window did not appear");
    QCOMPARE(plovi.state(), QProcess::Running);

    // Middle of "关于" at 15 twips per pixel (Xvfb's default 96 DPI).
    const int x0 = (390 + 315 / 2) / 15;
    const int y0 = (7000 + 525 / 2) / 15;
    const QString id = QString::fromLatin1(window.split('\n').first());
    const QStringList clickAbout{"mousemove",         "--window", id, QString::number(x0),
                                 QString::number(y0), "click",    "1"};
    QVERIFY(x.act(clickAbout));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(install.marker()), 10000);
    QVERIFY(x.act(clickAbout));
    QTRY_COMPARE_WITH_TIMEOUT(readAll(install.marker()).count('\n'), 2, 10000);
    QCOMPARE(plovi.state(), QProcess::Running);
}

void TestPloviEndToEnd::dragUnderWindowManager_data()
{
    QTest::addColumn<int>("button"); // xdotool's button number
    QTest::newRow("right") << 3;
    QTest::newRow("middle") << 2;
    QTest::newRow("left") << 1;
}

// The real executable under openbox: a press-drag-release with the button on
// the window background moves the window by the drag, and the pointer moving
// on afterwards leaves it where it is.
void TestPloviEndToEnd::dragUnderWindowManager()
{
    QFETCH(int, button);
    XSession x;
    if (const QString absent = x.missing(true); !absent.isEmpty()) {
        QSKIP(qPrintable("needs " + absent));
    }
    Install install;
    QVERIFY(install.make(nullptr));
    QVERIFY2(x.start(), "Xvfb did not report its display");
    QVERIFY2(x.startWindowManager(), "openbox did not take the screen");

    QProcess plovi;
    ProcessGuard ploviGuard(plovi);
    plovi.setProcessEnvironment(x.env());
    plovi.start(install.path("Plovi"), {});
    QVERIFY(plovi.waitForStarted(10000));
    const QByteArray window = x.xdotool({"search", "--sync", "--onlyvisible", "--name", "^Plovi$"});
    QVERIFY2(!window.isEmpty(), "the player's window did not appear");
    const QString id = QString::fromLatin1(window.split('\n').first());

    QPoint start;
    QTRY_VERIFY_WITH_TIMEOUT((start = x.position(id)).x() >= 0, 5000);
    // The margin of window background left of Shape1, level with the track
    // buttons.
    QPoint pointer = start + QPoint(1, 250);
    const QString number = QString::number(button);
    auto pointTo = [&x](QPoint at) {
        return x.act({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y())});
    };
    QVERIFY(pointTo(pointer));
    QVERIFY(x.act({"mousedown", number}));
    const QPoint step(8, 4);
    for (int n = 0; n < 5; ++n) {
        pointer += step;
        QVERIFY(pointTo(pointer));
        QTest::qWait(50);
    }
    QVERIFY(x.act({"mouseup", number}));
    const QPoint dropped = start + QPoint(40, 20);
    QTRY_COMPARE_WITH_TIMEOUT(x.position(id), dropped, 5000);

    for (int n = 0; n < 4; ++n) {
        pointer += QPoint(15, 15);
        QVERIFY(pointTo(pointer));
        QTest::qWait(50);
    }
    QTest::qWait(500);
    QCOMPARE(x.position(id), dropped);
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
