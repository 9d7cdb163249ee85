#pragma once

#include <QtCore/qnamespace.h>

class QWidget;

// Starts moving a top-level window with the mouse, as a press on a title bar
// would. Call from a mouse-press handler of the window with the button that
// was pressed (one button, not NoButton). A left-button move is handed to the
// window system's own move where it offers one, since window managers run
// that move as a left-button drag; any other button, or a window system with
// no move of its own, has the window follow the pointer by hand. Releasing
// the button that started the move ends it. Returns whether a move began or
// is already running.
[[nodiscard]] bool beginWindowMove(QWidget *window, Qt::MouseButton button);
