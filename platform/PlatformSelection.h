#pragma once

// Call before the QApplication is created. On a Wayland session that also
// offers XWayland (WAYLAND_DISPLAY and DISPLAY set) and when the user has not
// chosen a platform (QT_QPA_PLATFORM unset), asks Qt for xcb, where windows
// may place and move themselves.
void selectQtPlatform();
