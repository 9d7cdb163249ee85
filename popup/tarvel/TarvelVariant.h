#pragma once

#include "AlertVariant.h"

namespace popup {

// Tarvel, the software-information pop-up: a heading and two link labels
// that open the web pages of two programs. The programs' names and pages are
// come from LinkSettings (build options, then popup.ini); the other texts live
// in PopupTexts.h.
class TarvelVariant final : public AlertVariant
{
  public:
    [[nodiscard]] QString soundFileName() const override;
    [[nodiscard]] QString artworkResource() const override;
    [[nodiscard]] double artworkTop() const override;
    void createLabels(const LabelSite &site) const override;

    [[nodiscard]] static QString program1Name();
    [[nodiscard]] static QString program1Link();
    [[nodiscard]] static QString program2Name();
    [[nodiscard]] static QString program2Link();
    [[nodiscard]] static QString title();

  private:
    static void Label2_Click(const LabelSite &site);
    static void Label3_Click(const LabelSite &site);
    static void openPage(const LabelSite &site, const QString &link);
};

} // namespace popup
