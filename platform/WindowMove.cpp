#include "WindowMove.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

const QString kManualMoveName = QStringLiteral("ManualWindowMove");

// Follows the mouse while the window holds the grab; removes itself when the
// button that started it is released.
class ManualMove : public QObject
{
  public:
    ManualMove(QWidget *window, Qt::MouseButton button)
        : QObject(window), m_window(window), m_button(button),
          m_offset(QCursor::pos() - window->pos())
    {
        setObjectName(kManualMoveName);
        window->installEventFilter(this);
        window->grabMouse();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window) {
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseMove:
            // The pointer itself, not the event's position: that is reckoned
            // from a window position the window system may not have applied.
            m_window->move(QCursor::pos() - m_offset);
            return true;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(event)->button() == m_button) {
                // Where the pointer let go: on a busy system the window can
                // be left short of the last motion before the release.
                m_window->move(QCursor::pos() - m_offset);
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
    const Qt::MouseButton m_button;
    const QPoint m_offset;
};

} // namespace

bool beginWindowMove(QWidget *window, Qt::MouseButton button)
{
    if (window == nullptr || button == Qt::NoButton) {
        return false;
    }
    QWidget *topLevel = window->window();
    if (topLevel->findChild<QObject *>(kManualMoveName, Qt::FindDirectChildrenOnly) != nullptr) {
        return true;
    }
    if (QWindow *handle = topLevel->windowHandle();
        button == Qt::LeftButton && handle != nullptr && handle->startSystemMove()) {
        return true;
    }
    new ManualMove(topLevel, button);
    return true;
}
