#include "TaskBarExclusion.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#ifdef PLOVI_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>
#endif

namespace {

#ifdef PLOVI_HAVE_XCB

struct FreeDeleter
{
    void operator()(void *p) const { std::free(p); }
};

template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp == nullptr ? nullptr
                                   : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 == nullptr ? nullptr : x11->connection();
}

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// The atoms of the window's _NET_WM_STATE.
std::vector<xcb_atom_t> readStates(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property)
{
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, property, XCB_ATOM_ATOM, 0, 1024), nullptr));
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM) {
        return {};
    }
    const auto *data = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
    return std::vector<xcb_atom_t>(data, data + xcb_get_property_value_length(reply.get()) / 4);
}

#endif

} // namespace

void TaskBarExclusion::install(QWidget *window)
{
    new TaskBarExclusion(window);
}

TaskBarExclusion::TaskBarExclusion(QWidget *window) : QObject(window)
{
    window->installEventFilter(this);
}

bool TaskBarExclusion::eventFilter(QObject *watched, QEvent *event)
{
    // Qt sends the show event after it created the native window and before
    // it maps it; a window manager drops _NET_WM_STATE when a window is
    // withdrawn (hidden), so every show marks it again.
    if (event->type() == QEvent::Show && watched == parent()) {
        mark(static_cast<QWidget *>(watched));
    }
    return false;
}

void TaskBarExclusion::mark(QWidget *window)
{
#ifdef PLOVI_HAVE_XCB
    xcb_connection_t *c = connection();
    if (c == nullptr) {
        return;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const xcb_atom_t property = atom(c, "_NET_WM_STATE");
    std::vector<xcb_atom_t> states = readStates(c, id, property);
    for (const char *name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const xcb_atom_t state = atom(c, name);
        if (state != XCB_ATOM_NONE &&
            std::find(states.begin(), states.end(), state) == states.end()) {
            states.push_back(state);
        }
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_ATOM, 32,
                        static_cast<uint32_t>(states.size()), states.data());
    xcb_flush(c);
#else
    Q_UNUSED(window);
#endif
}
