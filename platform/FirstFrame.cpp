#include "FirstFrame.h"

#include <QEvent>
#include <QWidget>

namespace {

// Lives as the window's child until the window's first paint event, then
// queues the action behind the paint and the flush that follows it.
class FirstFrameWatcher : public QObject
{
  public:
    FirstFrameWatcher(QWidget &window, std::function<void()> action)
        : QObject(&window), m_window(window), m_action(std::move(action))
    {
        window.installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == &m_window && event->type() == QEvent::Paint) {
            m_window.removeEventFilter(this);
            QMetaObject::invokeMethod(&m_window, std::move(m_action), Qt::QueuedConnection);
            deleteLater();
        }
        return false;
    }

  private:
    QWidget &m_window;
    std::function<void()> m_action;
};

} // namespace

void afterFirstFrame(QWidget &window, std::function<void()> action)
{
    new FirstFrameWatcher(window, std::move(action));
}
