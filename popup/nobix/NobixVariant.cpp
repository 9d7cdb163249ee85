#include "NobixVariant.h"

#include "AppPaths.h"
#include "Fonts.h"
#include "LabelLayout.h"
#include "LinkLabel.h"
#include "LinkOpener.h"
#include "LinkSettings.h"
#include "PopupTexts.h"
#include "SysColors.h"

namespace popup {

namespace {

constexpr int kButtonTextColour = 18;

} // namespace

QString NobixVariant::soundFileName() const
{
    return QStringLiteral("msgcome.wav");
}

QString NobixVariant::artworkResource() const
{
    return QStringLiteral(":/popup/nobix_art.png");
}

double NobixVariant::artworkTop() const
{
    return 60;
}

QString NobixVariant::contactLink()
{
    return QStringLiteral("mailto:") + LinkSettings::current().contactEmail;
}

QString NobixVariant::title()
{
    return texts::kNobixTitle.toString();
}

void NobixVariant::createLabels(const LabelSite &site) const
{
    auto *label1 = new LinkLabel(texts::kMailContact.toString(), site.pictureBox);
    label1->setObjectName(QStringLiteral("Label1"));
    layoutLabel(label1, site.scale, 450, 810, songTiFont(9), sysColor(kButtonTextColour));
    QObject::connect(label1, &LinkLabel::pressed, label1,
                     [site](Qt::MouseButton) { Label1_MouseDown(site); });
    QObject::connect(label1, &LinkLabel::mouseMoved, label1, &LinkLabel::applyHoverStyle);
}

void NobixVariant::Label1_MouseDown(const LabelSite &site)
{
    static_cast<void>(
        site.links.openLink(LinkRequest{site.startWindow, QStringLiteral("Open"), contactLink(),
                                        QString(QLatin1String("")), programDir(), 1}));
}

} // namespace popup
