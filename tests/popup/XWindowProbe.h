#pragma once

#include <string>

// A connection of the end-to-end tests to an X display: reads a window's
// place on the screen in one consistent snapshot, and sends a window the
// close request a window manager sends. Kept apart from Qt's headers, which
// Xlib's macros would break.
class XWindowProbe
{
  public:
    explicit XWindowProbe(const std::string &display);
    ~XWindowProbe();
    XWindowProbe(const XWindowProbe &) = delete;
    XWindowProbe &operator=(const XWindowProbe &) = delete;

    [[nodiscard]] bool isOpen() const { return m_display != nullptr; }

    // A window's rectangle in root-window (device) pixels.
    struct Geometry
    {
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
        bool viewable = false;

        [[nodiscard]] int right() const { return x + width; }   // one past the last column
        [[nodiscard]] int bottom() const { return y + height; } // one past the last row
        bool operator==(const Geometry &) const = default;
    };

    // Reads `window` with the server grabbed, so that no other client changes
    // it halfway. False once the window is gone.
    [[nodiscard]] bool read(unsigned long window, Geometry &geometry);

    // Sends `window` a WM_DELETE_WINDOW client message, as a window manager
    // does when the user closes a window.
    [[nodiscard]] bool sendDeleteWindow(unsigned long window);

  private:
    void *m_display = nullptr; // Display *
};
