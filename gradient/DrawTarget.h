#pragma once

class DrawingContext;
class TargetWindow;

// What GradientRect::Draw paints on: a window with its drawing context (a form or
// a picture box). Both are asked for at the moment they are needed; either may be
// missing (nullptr), which makes the draw fail with a reported message.
class DrawTarget
{
  public:
    virtual ~DrawTarget() = default;

    [[nodiscard]] virtual TargetWindow *targetWindow() = 0;
    [[nodiscard]] virtual DrawingContext *drawingContext() = 0;
};
