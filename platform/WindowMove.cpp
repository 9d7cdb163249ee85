#include "WindowMove.h"

#include <QCursor>
#include <QEvent>
#include <QMouseEvent>
#include <QWidget>
#include <QWindow>

namespace {

const QString kManualMoveName = QStringLiteral("ManualWindowMove");

// Follows the mouse while the window holds the grab; removes itself on release.
class ManualMove : public QObject
{
  public:
    explicit ManualMove(QWidget *window)
        : QObject(window), m_window(window), m_offset(QCursor::pos() - window->pos())
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
    if (QWindow *handle = topLevel->windowHandle();
        handle != nullptr && handle->startSystemMove()) {
        return true;
    }
    if (topLevel->findChild<QObject *>(kManualMoveName, Qt::FindDirectChildrenOnly) != nullptr) {
        return true;
    }
    new ManualMove(topLevel);
    return true;
}
