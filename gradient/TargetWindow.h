#pragma once

#include <cstdint>

// A client rectangle in pixels; left and top are 0, so right and bottom are the
// width and the height.
struct ClientRect
{
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// The window side of a drawing target: its client area and its update lock.
class TargetWindow
{
  public:
    virtual ~TargetWindow() = default;

    // Fills `rect` with the client area; false when the window cannot tell.
    [[nodiscard]] virtual bool clientRect(ClientRect &rect) const = 0;

    // Suspends repainting of the window until unlockUpdates(); returns whether the
    // lock was taken. unlockUpdates() is safe to call after a failed lock.
    virtual bool lockUpdates() = 0;
    virtual void unlockUpdates() = 0;
};
