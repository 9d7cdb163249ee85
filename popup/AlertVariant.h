#pragma once

#include "Twips.h"

#include <QString>

class LinkOpener;
class QWidget;

namespace popup {

// Where the labels of an alert live and what their links act on.
struct LabelSite
{
    QWidget *pictureBox;  // parent of the labels
    QWidget *alert;       // the alert window
    QWidget *startWindow; // the hidden start-up window
    LinkOpener &links;
    TwipsScale scale;
};

// What differs between the pop-ups: the labels with their link actions, the
// artwork and the sound.
class AlertVariant
{
  public:
    virtual ~AlertVariant() = default;

    // Name of the sound file in the program's folder.
    [[nodiscard]] virtual QString soundFileName() const = 0;
    // Qt resource path of the 112 x 121 pixel artwork; white is transparent.
    [[nodiscard]] virtual QString artworkResource() const = 0;
    // Top of the artwork in the picture box, in twips.
    [[nodiscard]] virtual double artworkTop() const = 0;
    // Creates the labels on site.pictureBox, from back to front.
    virtual void createLabels(const LabelSite &site) const = 0;
};

} // namespace popup
