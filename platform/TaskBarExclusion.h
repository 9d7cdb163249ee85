#pragma once

#include <QObject>

class QWidget;

// Keeps a top-level window off the task bar and off the pager and window
// switchers: before every mapping of the window it adds the states
// _NET_WM_STATE_SKIP_TASKBAR and _NET_WM_STATE_SKIP_PAGER to the window's
// _NET_WM_STATE, which window managers and panels (openbox, tint2) read when
// they take the window on. Qt keeps states a program set there when it adds
// its own. Where the display is not X11 nothing is done.
class TaskBarExclusion : public QObject
{
    Q_OBJECT

  public:
    // Marks `window` (a top-level widget) before each of its shows; the
    // object lives as a child of `window`.
    static void install(QWidget *window);

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    explicit TaskBarExclusion(QWidget *window);
    static void mark(QWidget *window);
};
