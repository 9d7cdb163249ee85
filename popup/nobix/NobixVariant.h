#pragma once

#include "AlertVariant.h"

namespace popup {

// Nobix, the contact pop-up: one link label that opens an e-mail to us. The
// address comes from LinkSettings (build option, then popup.ini); the texts
// live in PopupTexts.h.
class NobixVariant final : public AlertVariant
{
  public:
    [[nodiscard]] QString soundFileName() const override;
    [[nodiscard]] QString artworkResource() const override;
    [[nodiscard]] double artworkTop() const override;
    void createLabels(const LabelSite &site) const override;

    // The mailto: link behind Label1.
    [[nodiscard]] static QString contactLink();
    // The program's title.
    [[nodiscard]] static QString title();

  private:
    static void Label1_MouseDown(const LabelSite &site);
};

} // namespace popup
