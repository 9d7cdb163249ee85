#pragma once

#include "Twips.h"

#include <QString>

#include <functional>

class FailureReporter;
class LinkOpener;
class ScreenMetrics;

namespace audio {
class SoundPlayer;
}

namespace popup {

// What a pop-up's windows use of the system. main() passes the real services;
// tests pass fakes. The referenced objects outlive every window.
struct AlertServices
{
    audio::SoundPlayer &sound;
    LinkOpener &links;
    ScreenMetrics &screen;
    FailureReporter &failures; // shows the gradient painter's failures
    TwipsScale scale;
    // Ends the process at once with status 0; nothing runs after it in the
    // real program. Called by the last closing tick.
    std::function<void()> quit;
    // The run-time error report (number, description from PopupTexts.h); does
    // not return in the real program.
    std::function<void(int, const QString &)> runtimeError;
};

} // namespace popup
