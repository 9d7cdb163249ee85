// The real pop-up programs on an X server of the test's own, managed by
// openbox (as most users' screens are) or by no window manager: where the
// alert lands in device pixels at several scale factors, and what a close
// request does. Skips itself where Xvfb, openbox, xdotool or xprop are
// missing.
#include "XWindowProbe.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <algorithm>
#include <cmath>

using Geometry = XWindowProbe::Geometry;

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
    ProcessGuard(const ProcessGuard &) = delete;
    ProcessGuard &operator=(const ProcessGuard &) = delete;

  private:
    QProcess &m_process;
};

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

// Runs a tool to its end. True when it ended with status 0; `output` gets
// what it printed.
bool runTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &env,
             QByteArray *output = nullptr, int timeout = 15000)
{
    QProcess process;
    ProcessGuard guard(process);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    const bool ran = process.waitForFinished(timeout) &&
                     process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (output != nullptr) {
        *output = ran ? process.readAllStandardOutput().trimmed() : QByteArray();
    }
    return ran;
}

// An Xvfb screen of 1024 x 768 pixels, optionally managed by openbox.
class XSession
{
  public:
    XSession() : m_serverGuard(m_server), m_managerGuard(m_manager) {}

    // Empty on success, else why the session could not start.
    QString start(bool withWindowManager)
    {
        m_server.start(tool("Xvfb"),
                       {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        if (!m_server.waitForStarted(10000)) {
            return QStringLiteral("Xvfb did not start");
        }
        QByteArray number;
        while (!number.contains('\n') && m_server.waitForReadyRead(15000)) {
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            return QStringLiteral("Xvfb did not report its display");
        }
        m_display = QStringLiteral(":%1").arg(QString::fromLatin1(number.trimmed()));
        if (!withWindowManager) {
            return {};
        }
        m_manager.setProcessEnvironment(environment());
        m_manager.start(tool("openbox"), {"--sm-disable"});
        if (!m_manager.waitForStarted(10000)) {
            return QStringLiteral("openbox did not start");
        }
        // openbox announces itself on the root window once it manages it.
        QElapsedTimer waited;
        waited.start();
        QByteArray check;
        while (
            !runTool(tool("xprop"), {"-root", "_NET_SUPPORTING_WM_CHECK"}, environment(), &check) ||
            !check.contains("window id")) {
            if (waited.elapsed() > 15000) {
                return QStringLiteral("openbox did not take the screen");
            }
            QThread::msleep(50);
        }
        return {};
    }

    [[nodiscard]] QString display() const { return m_display; }

    [[nodiscard]] QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), m_display);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_SCALE_FACTOR"));
        env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
        env.remove(QStringLiteral("QT_AUTO_SCREEN_SCALE_FACTOR"));
        return env;
    }

  private:
    QProcess m_server;
    QProcess m_manager;
    ProcessGuard m_serverGuard;
    ProcessGuard m_managerGuard;
    QString m_display;
};

// Starts a pop-up program on the session's screen at a scale factor.
void startPopup(QProcess &process, const XSession &session, const QString &program,
                const QString &scale, const QStringList &arguments = {})
{
    QProcessEnvironment env = session.environment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), scale);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PLOVI_DELIVERY_DIR "/") + program, arguments);
}

// The X window of a started program's alert, 0 when none appears.
unsigned long alertWindow(const XSession &session, const QProcess &process)
{
    QByteArray found;
    runTool(tool("xdotool"),
            {"search", "--sync", "--onlyvisible", "--pid", QString::number(process.processId())},
            session.environment(), &found, 10000);
    return found.isEmpty() ? 0 : found.split('\n').first().toULong();
}

// Follows a window until it is gone and returns the places it rested in: a
// place counts once it was read three times in a row, a millisecond apart.
// openbox moves and resizes a window in two steps, and the state between
// them lasts well under a millisecond; each step of the alert lasts 10 ms.
QList<Geometry> restingPlaces(XWindowProbe &probe, unsigned long window, int timeout)
{
    QList<Geometry> places;
    Geometry last;
    int reads = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    Geometry now;
    while (elapsed.elapsed() < timeout && probe.read(window, now)) {
        reads = now == last ? reads + 1 : 1;
        last = now;
        if (reads == 3 && now.viewable) {
            places << now;
        }
        QThread::msleep(1);
    }
    return places;
}

QString describe(const Geometry &g)
{
    return QStringLiteral("%1x%2+%3+%4").arg(g.width).arg(g.height).arg(g.x).arg(g.y);
}

bool toolsPresent(bool withWindowManager, QString &missing)
{
    QStringList names{"Xvfb", "xdotool", "xprop"};
    if (withWindowManager) {
        names << "openbox";
    }
    for (const QString &name : names) {
        if (tool(name.toLatin1().constData()).isEmpty()) {
            missing = QStringLiteral("needs ") + name;
            return false;
        }
    }
    return true;
}

} // namespace

class TestPopupWindowManager : public QObject
{
    Q_OBJECT

  private slots:
    void keepsItsCornerOnTheScreen_data();
    void keepsItsCornerOnTheScreen();
    void staysOffTheTaskBar_data();
    void staysOffTheTaskBar();
    void closeRequestIsRefused_data();
    void closeRequestIsRefused();
    void qtOptionsChangeNothingOnScreen();
};

void TestPopupWindowManager::keepsItsCornerOnTheScreen_data()
{
    QTest::addColumn<QString>("scale");
    QTest::addColumn<bool>("withWindowManager");
    for (const char *scale : {"1", "1.25", "1.5", "2"}) {
        QTest::addRow("openbox, scale %s", scale) << QString::fromLatin1(scale) << true;
        QTest::addRow("no window manager, scale %s", scale) << QString::fromLatin1(scale) << false;
    }
}

// The bottom edge stays on one device row while the alert unrolls and rolls
// down, the right edge lies on the screen's right edge, and the window is on
// the screen all the time.
void TestPopupWindowManager::keepsItsCornerOnTheScreen()
{
    QFETCH(QString, scale);
    QFETCH(bool, withWindowManager);
    QString missing;
    if (!toolsPresent(withWindowManager, missing)) {
        QSKIP(qPrintable(missing));
    }
    XSession session;
    const QString failure = session.start(withWindowManager);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    XWindowProbe probe(session.display().toStdString());
    QVERIFY(probe.isOpen());

    QProcess nobix;
    ProcessGuard guard(nobix);
    startPopup(nobix, session, QStringLiteral("Nobix"), scale);
    QVERIFY(nobix.waitForStarted(10000));
    const unsigned long window = alertWindow(session, nobix);
    QVERIFY2(window != 0, "the alert did not appear");
    const QList<Geometry> places = restingPlaces(probe, window, 8000);
    QVERIFY2(nobix.waitForFinished(5000), "the program did not end");
    QCOMPARE(nobix.exitCode(), 0);

    QVERIFY(places.size() > 20);
    const int bottom = places.first().bottom();
    int tallest = 0;
    for (const Geometry &g : places) {
        const QString at = describe(g);
        QVERIFY2(g.bottom() == bottom, qPrintable(at));
        QVERIFY2(g.right() == 1024, qPrintable(at));
        QVERIFY2(g.x >= 0 && g.y >= 0 && g.bottom() <= 768, qPrintable(at));
        tallest = std::max(tallest, g.height);
    }
    // Open, the alert is 1665 x 1905 twips: 111 x 127 logical pixels at 96
    // DPI, rounded to device pixels (166.5 x 190.5 at 1.5: 166 or 167 x 190
    // or 191).
    const double ratio = scale.toDouble();
    const auto open = std::find_if(places.begin(), places.end(),
                                   [tallest](const Geometry &g) { return g.height == tallest; });
    const QString at = describe(*open);
    QVERIFY2(tallest >= std::floor(127 * ratio) && tallest <= std::ceil(127 * ratio),
             qPrintable(at));
    QVERIFY2(open->width >= std::floor(111 * ratio) && open->width <= std::ceil(111 * ratio),
             qPrintable(at));
}

void TestPopupWindowManager::staysOffTheTaskBar_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("withWindowManager");
    for (const char *program : {"Nobix", "Tarvel"}) {
        QTest::addRow("%s, openbox", program) << QString::fromLatin1(program) << true;
        QTest::addRow("%s, no window manager", program) << QString::fromLatin1(program) << false;
    }
}

// The alert tells panels and pagers to leave it out, and a window manager
// keeps it so; it is managed (listed among the clients) but never active.
void TestPopupWindowManager::staysOffTheTaskBar()
{
    QFETCH(QString, program);
    QFETCH(bool, withWindowManager);
    QString missing;
    if (!toolsPresent(withWindowManager, missing)) {
        QSKIP(qPrintable(missing));
    }
    XSession session;
    const QString failure = session.start(withWindowManager);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));

    QProcess popup;
    ProcessGuard guard(popup);
    startPopup(popup, session, program, QStringLiteral("1"));
    QVERIFY(popup.waitForStarted(10000));
    const unsigned long window = alertWindow(session, popup);
    QVERIFY2(window != 0, "the alert did not appear");
    QThread::msleep(300);
    const QString id = QStringLiteral("0x%1").arg(window, 0, 16);
    QByteArray states;
    QVERIFY(runTool(tool("xprop"), {"-id", id, "_NET_WM_STATE"}, session.environment(), &states));
    QVERIFY2(states.contains("_NET_WM_STATE_SKIP_TASKBAR"), states.constData());
    QVERIFY2(states.contains("_NET_WM_STATE_SKIP_PAGER"), states.constData());
    if (withWindowManager) {
        QByteArray clients;
        QVERIFY(
            runTool(tool("xprop"), {"-root", "_NET_CLIENT_LIST"}, session.environment(), &clients));
        QVERIFY2(clients.contains(id.toLatin1()), clients.constData());
        QByteArray active;
        QVERIFY(runTool(tool("xprop"), {"-root", "_NET_ACTIVE_WINDOW"}, session.environment(),
                        &active));
        QVERIFY2(!active.contains(id.toLatin1()), active.constData());
    }
    QVERIFY(popup.waitForFinished(8000));
    QCOMPARE(popup.exitCode(), 0);
}

void TestPopupWindowManager::closeRequestIsRefused_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("throughWindowManager");
    QTest::newRow("Nobix, asked of openbox") << "Nobix" << true;
    QTest::newRow("Tarvel, asked of openbox") << "Tarvel" << true;
    QTest::newRow("Nobix, sent to the window") << "Nobix" << false;
}

// A close request (a task switcher's close, "close all") leaves the alert as
// it is; it runs to its end and the program ends by itself.
void TestPopupWindowManager::closeRequestIsRefused()
{
    QFETCH(QString, program);
    QFETCH(bool, throughWindowManager);
    QString missing;
    if (!toolsPresent(true, missing)) {
        QSKIP(qPrintable(missing));
    }
    if (throughWindowManager && tool("wmctrl").isEmpty()) {
        QSKIP("needs wmctrl");
    }
    XSession session;
    const QString failure = session.start(true);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    XWindowProbe probe(session.display().toStdString());
    QVERIFY(probe.isOpen());

    QElapsedTimer sinceStart;
    sinceStart.start();
    QProcess popup;
    ProcessGuard guard(popup);
    startPopup(popup, session, program, QStringLiteral("1"));
    QVERIFY(popup.waitForStarted(10000));
    const unsigned long window = alertWindow(session, popup);
    QVERIFY2(window != 0, "the alert did not appear");
    QThread::msleep(300);
    if (throughWindowManager) {
        // wmctrl asks openbox (_NET_CLOSE_WINDOW), which sends WM_DELETE_WINDOW.
        QVERIFY(
            runTool(tool("wmctrl"), {"-i", "-c", QString::number(window)}, session.environment()));
    } else {
        QVERIFY(probe.sendDeleteWindow(window));
    }
    QThread::msleep(500);
    Geometry g;
    QVERIFY2(probe.read(window, g), "the alert is gone");
    QVERIFY(g.viewable);
    QCOMPARE(popup.state(), QProcess::Running);

    QVERIFY2(popup.waitForFinished(static_cast<int>(6000 - sinceStart.elapsed())),
             "still running six seconds after its start");
    QCOMPARE(popup.exitStatus(), QProcess::NormalExit);
    QCOMPARE(popup.exitCode(), 0);
}

// Qt's own options do not reach Qt: the alert shows on the X screen even
// when told "-platform offscreen", in the same place as without options.
void TestPopupWindowManager::qtOptionsChangeNothingOnScreen()
{
    QString missing;
    if (!toolsPresent(true, missing)) {
        QSKIP(qPrintable(missing));
    }
    XSession session;
    const QString failure = session.start(true);
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    XWindowProbe probe(session.display().toStdString());
    QVERIFY(probe.isOpen());

    QList<Geometry> open;
    for (const QStringList &arguments :
         {QStringList(), QStringList{"-platform", "offscreen", "-style", "windows"}}) {
        QProcess nobix;
        ProcessGuard guard(nobix);
        startPopup(nobix, session, QStringLiteral("Nobix"), QStringLiteral("1"), arguments);
        QVERIFY(nobix.waitForStarted(10000));
        const unsigned long window = alertWindow(session, nobix);
        QVERIFY2(window != 0, qPrintable(arguments.join(' ') + ": the alert did not appear"));
        const QList<Geometry> places = restingPlaces(probe, window, 8000);
        QVERIFY(!places.isEmpty());
        open << *std::max_element(
            places.begin(), places.end(),
            [](const Geometry &a, const Geometry &b) { return a.height < b.height; });
        QVERIFY(nobix.waitForFinished(5000));
    }
    QCOMPARE(describe(open.last()), describe(open.first()));
}

QTEST_GUILESS_MAIN(TestPopupWindowManager)
#include "tst_popup_window_manager.moc"
