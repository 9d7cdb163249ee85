#include "XWindowProbe.h"

#include <X11/Xlib.h>

namespace {

bool g_failed = false;

int noteError(Display *, XErrorEvent *)
{
    g_failed = true;
    return 0;
}

Display *display(void *handle)
{
    return static_cast<Display *>(handle);
}

} // namespace

XWindowProbe::XWindowProbe(const std::string &name) : m_display(XOpenDisplay(name.c_str()))
{
    XSetErrorHandler(noteError);
}

XWindowProbe::~XWindowProbe()
{
    if (m_display != nullptr) {
        XCloseDisplay(display(m_display));
    }
}

bool XWindowProbe::read(unsigned long window, Geometry &geometry)
{
    Display *d = display(m_display);
    g_failed = false;
    XGrabServer(d);
    XWindowAttributes attributes;
    int x = 0;
    int y = 0;
    Window child = 0;
    const bool read = XGetWindowAttributes(d, window, &attributes) != 0 &&
                      XTranslateCoordinates(d, window, attributes.root, 0, 0, &x, &y, &child) != 0;
    XUngrabServer(d);
    XSync(d, False);
    if (!read || g_failed) {
        return false;
    }
    geometry =
        Geometry{x, y, attributes.width, attributes.height, attributes.map_state == IsViewable};
    return true;
}

bool XWindowProbe::sendDeleteWindow(unsigned long window)
{
    Display *d = display(m_display);
    g_failed = false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(d, window, False, NoEventMask, &event) != 0;
    XSync(d, False);
    return sent && !g_failed;
}
