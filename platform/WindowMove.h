#pragma once

class QWidget;

// Starts moving a top-level window with the mouse, as a press on a title bar
// would. Call from a mouse-press handler of the window. Uses the window
// system's own move where it offers one; otherwise the window follows the
// mouse until the button is released. Returns whether a move began.
[[nodiscard]] bool beginWindowMove(QWidget *window);
