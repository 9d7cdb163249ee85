#include "WindowMove.h"

#include <QCursor>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtTest>

namespace {

// The pointer goes to global, then the window hears of it.
void sendMouse(QWidget *w, QEvent::Type type, QPoint global, Qt::MouseButtons buttons)
{
    QCursor::setPos(global);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, QPointF(w->mapFromGlobal(global)), QPointF(global), button, buttons,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(w, &event);
}

} // namespace

class TestWindowMove : public QObject
{
    Q_OBJECT
  private slots:
    void nullWindow();
    void followsMouseUntilRelease();
};

void TestWindowMove::nullWindow()
{
    QVERIFY(!beginWindowMove(nullptr));
}

// The offscreen platform offers no system move, so the window follows the
// mouse by hand.
void TestWindowMove::followsMouseUntilRelease()
{
    QWidget window(nullptr, Qt::FramelessWindowHint);
    new QTimer(&window); // an unrelated child object must not count as a move
    QWidget child(&window);
    window.resize(100, 200);
    window.move(10, 20);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (window.windowHandle()->startSystemMove()) {
        QSKIP("the platform moves windows itself");
    }
    QCursor::setPos(50, 60);
    QVERIFY(beginWindowMove(&child));
    sendMouse(&window, QEvent::MouseMove, QPoint(80, 100), Qt::LeftButton);
    QCOMPARE(window.pos(), QPoint(40, 60));
    sendMouse(&window, QEvent::MouseMove, QPoint(70, 90), Qt::LeftButton);
    QCOMPARE(window.pos(), QPoint(30, 50));
    sendMouse(&window, QEvent::MouseButtonRelease, QPoint(70, 90), Qt::NoButton);
    sendMouse(&window, QEvent::MouseMove, QPoint(200, 200), Qt::NoButton);
    QCOMPARE(window.pos(), QPoint(30, 50));
}

QTEST_MAIN(TestWindowMove)
#include "tst_WindowMove.moc"
