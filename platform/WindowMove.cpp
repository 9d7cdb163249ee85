#include "WindowMove.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

// Follows the mouse while the window holds the grab; removes itself on release.
class ManualMove : public QObject
{
public:
    explicit ManualMove(QWidget *window)
        : QObject(window), m_window(window), m_offset(QCursor::pos() - window->pos())
    {
        window->installEventFilter(this);
        window->grabMouse();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseMove: {
            const auto *mouse = static_cast<QMouseEvent *>(event);
            m_window->move(mouse->globalPosition().toPoint() - m_offset);
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->buttons() == Qt::NoButton) {
                finish();
            }
            return true;
        case QEvent::Hide:
        case QEvent::WindowDeactivate:
            finish();
            return false;
        default:
            return false;
        }
    }

private:
    void finish()
    {
        m_window->removeEventFilter(this);
        m_window->releaseMouse();
        deleteLater();
    }

    QWidget *const m_window;
    const QPoint m_offset;
};

} // namespace

bool beginWindowMove(QWidget *window)
{
    if (window == nullptr) {
        return false;
    }
    QWidget *topLevel = window->window();
    if (QWindow *handle = topLevel->windowHandle(); handle != nullptr && handle->startSystemMove()) {
        return true;
    }
    if (topLevel->findChild<ManualMove *>(QString(), Qt::FindDirectChildrenOnly) != nullptr) {
        return true;
    }
    new ManualMove(topLevel);
    return true;
}
