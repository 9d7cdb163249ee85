#include "WindowMove.h"

#include <QCursor>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>

namespace {

// The pointer goes to global, then the window hears of it: button is the one
// that changed (NoButton for a motion), buttons those held after the event.
void sendMouse(QWidget *w, QEvent::Type type, QPoint global, Qt::MouseButton button,
               Qt::MouseButtons buttons)
{
    QCursor::setPos(global);
    QMouseEvent event(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

void moveTo(QWidget *w, QPoint global, Qt::MouseButtons held)
{
    sendMouse(w, QEvent::MouseMove, global, Qt::NoButton, held);
}

// A frameless window at (10, 20) with a child; null when the platform moves
// windows itself, which these tests cannot watch.
struct MoveWindow
{
    QWidget window{nullptr, Qt::FramelessWindowHint};
    QWidget *const child = new QWidget(&window);

    bool show()
    {
        new QTimer(&window); // an unrelated child object must not count as a move
        window.resize(100, 200);
        window.move(10, 20);
        window.show();
        return QTest::qWaitForWindowExposed(&window) && !window.windowHandle()->startSystemMove();
    }
};

} // namespace

class TestWindowMove : public QObject
{
    Q_OBJECT
  private slots:
    void nullWindowOrNoButton();
    void followsMouseUntilRelease_data();
    void followsMouseUntilRelease();
    void otherButtonsDoNotEndTheMove_data();
    void otherButtonsDoNotEndTheMove();
    void secondPressKeepsTheRunningMove();
};

void TestWindowMove::nullWindowOrNoButton()
{
    QVERIFY(!beginWindowMove(nullptr, Qt::LeftButton));
    QWidget window;
    QVERIFY(!beginWindowMove(&window, Qt::NoButton));
    QVERIFY(window.findChildren<QObject *>().isEmpty());
}

void TestWindowMove::followsMouseUntilRelease_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
    QTest::newRow("middle") << Qt::MiddleButton;
}

// The offscreen platform offers no system move, so the window follows the
// mouse by hand whatever the button.
void TestWindowMove::followsMouseUntilRelease()
{
    QFETCH(Qt::MouseButton, button);
    MoveWindow w;
    if (!w.show()) {
        QSKIP("the platform moves windows itself");
    }
    QCursor::setPos(50, 60);
    QVERIFY(beginWindowMove(w.child, button));
    moveTo(&w.window, QPoint(80, 100), button);
    QCOMPARE(w.window.pos(), QPoint(40, 60));
    moveTo(&w.window, QPoint(70, 90), button);
    QCOMPARE(w.window.pos(), QPoint(30, 50));
    // Let go a little further on than the last reported motion: the window
    // ends where the pointer let go.
    sendMouse(&w.window, QEvent::MouseButtonRelease, QPoint(74, 93), button, Qt::NoButton);
    QCOMPARE(w.window.pos(), QPoint(34, 53));
    moveTo(&w.window, QPoint(200, 200), Qt::NoButton);
    QCOMPARE(w.window.pos(), QPoint(34, 53));
}

void TestWindowMove::otherButtonsDoNotEndTheMove_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::MouseButton>("other");
    QTest::newRow("right, then left") << Qt::RightButton << Qt::LeftButton;
    QTest::newRow("middle, then right") << Qt::MiddleButton << Qt::RightButton;
    QTest::newRow("left, then right") << Qt::LeftButton << Qt::RightButton;
}

// Another button pressed and released during the move leaves it running; the
// release of the starting button ends it even while the other is held.
void TestWindowMove::otherButtonsDoNotEndTheMove()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::MouseButton, other);
    MoveWindow w;
    if (!w.show()) {
        QSKIP("the platform moves windows itself");
    }
    QCursor::setPos(50, 60);
    QVERIFY(beginWindowMove(&w.window, button));
    sendMouse(&w.window, QEvent::MouseButtonPress, QPoint(50, 60), other, button | other);
    sendMouse(&w.window, QEvent::MouseButtonRelease, QPoint(50, 60), other, button);
    moveTo(&w.window, QPoint(60, 65), button);
    QCOMPARE(w.window.pos(), QPoint(20, 25));

    sendMouse(&w.window, QEvent::MouseButtonPress, QPoint(60, 65), other, button | other);
    sendMouse(&w.window, QEvent::MouseButtonRelease, QPoint(60, 65), button, other);
    moveTo(&w.window, QPoint(90, 95), other);
    QCOMPARE(w.window.pos(), QPoint(20, 25));
}

// A press while the window follows the mouse starts no second move: one
// release ends the one move.
void TestWindowMove::secondPressKeepsTheRunningMove()
{
    MoveWindow w;
    if (!w.show()) {
        QSKIP("the platform moves windows itself");
    }
    QCursor::setPos(50, 60);
    QVERIFY(beginWindowMove(&w.window, Qt::RightButton));
    QVERIFY(beginWindowMove(&w.window, Qt::LeftButton));
    moveTo(&w.window, QPoint(55, 62), Qt::RightButton | Qt::LeftButton);
    QCOMPARE(w.window.pos(), QPoint(15, 22));
    sendMouse(&w.window, QEvent::MouseButtonRelease, QPoint(55, 62), Qt::RightButton,
              Qt::LeftButton);
    moveTo(&w.window, QPoint(99, 99), Qt::LeftButton);
    QCOMPARE(w.window.pos(), QPoint(15, 22));
}

QTEST_MAIN(TestWindowMove)
#include "tst_WindowMove.moc"
