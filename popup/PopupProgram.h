#pragma once

#include <QString>

namespace audio {
class SoundPlayer;
}

namespace popup {

class AlertVariant;

// Runs a pop-up program in the QApplication that exists: loads the hidden
// start-up window, which shows the alert, and runs the event loop until the
// alert ends the process. `title` names the program in its message boxes.
int runPopup(const QString &title, const AlertVariant &variant, audio::SoundPlayer &sound);

// The whole of a pop-up program's main(): chooses the Qt platform, creates the
// QApplication (loading the font configuration alongside) and the real
// one-shot sound player, which loads and starts SDL's audio on its worker
// with the first chime, then runs the pop-up. Returns
// the exit status. The arguments after argv[0] are ignored; Qt never sees them.
int popupMain(int argc, char *argv[], const QString &title, const AlertVariant &variant);

} // namespace popup
