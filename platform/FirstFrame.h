#pragma once

#include <functional>

class QWidget;

// Runs action once, on the window's thread, after the window has painted its
// first frame and handed it to the window system: the place for start-up work
// the first frame does not need. Nothing runs if the window is destroyed
// first or never painted. Call before the window is first painted (normally
// right after show()).
void afterFirstFrame(QWidget &window, std::function<void()> action);
