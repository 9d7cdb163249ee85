#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "DrawTarget.h"
#include "FailureReporter.h"
#include "TargetWindow.h"

// A window of a given client size that counts its lock calls.
class FakeWindow : public TargetWindow
{
  public:
    bool clientRect(ClientRect &rect) const override
    {
        rect = ClientRect{0, 0, width, height};
        return known;
    }
    bool lockUpdates() override
    {
        ++locks;
        locked = true;
        return true;
    }
    void unlockUpdates() override
    {
        ++unlocks;
        locked = false;
    }

    std::int32_t width = 0;
    std::int32_t height = 0;
    bool known = true;
    bool locked = false;
    int locks = 0;
    int unlocks = 0;
};

// A target whose window and context can each be missing.
class FakeDrawTarget : public DrawTarget
{
  public:
    TargetWindow *targetWindow() override { return window; }
    DrawingContext *drawingContext() override { return context; }

    TargetWindow *window = nullptr;
    DrawingContext *context = nullptr;
};

class FakeFailureReporter : public FailureReporter
{
  public:
    struct Report
    {
        std::string caption;
        std::string text;
    };
    void reportFailure(std::string_view caption, std::string_view text) override
    {
        reports.push_back({std::string(caption), std::string(text)});
    }
    std::vector<Report> reports;
};
