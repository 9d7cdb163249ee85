#pragma once

#include <QString>

class AlertVariant;
class SoundPlayer;

// Runs a pop-up program in the QApplication that exists: loads the hidden
// start-up window, which shows the alert, and runs the event loop until the
// alert ends the process. `title` names the program in its reports.
int runPopup(const QString &title, const AlertVariant &variant, SoundPlayer &sound);
