#include "TarvelVariant.h"

#include "Fonts.h"
#include "HollowLabel.h"
#include "LabelLayout.h"
#include "LinkLabel.h"
#include "LinkOpener.h"
#include "LinkSettings.h"
#include "PopupTexts.h"

#include <optional>

namespace popup {

namespace {

constexpr int32_t kHeadingColour = 0x00FF00FF; // RGB(255,0,255)
constexpr int32_t kLinkColour = 0x0080C0FF;    // RGB(255,192,128)

QFont headingFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("STCaiyun"), QStringLiteral("华文彩云")});
    font.setPointSizeF(10.5);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

QString TarvelVariant::soundFileName() const
{
    return QStringLiteral("buddycome.wav");
}

QString TarvelVariant::artworkResource() const
{
    return QStringLiteral(":/popup/tarvel_art.png");
}

double TarvelVariant::artworkTop() const
{
    return 0;
}

QString TarvelVariant::program1Name()
{
    return LinkSettings::current().program1Name;
}

QString TarvelVariant::program1Link()
{
    return LinkSettings::current().program1Url;
}

QString TarvelVariant::program2Name()
{
    return LinkSettings::current().program2Name;
}

QString TarvelVariant::program2Link()
{
    return LinkSettings::current().program2Url;
}

QString TarvelVariant::title()
{
    return texts::kTarvelTitle.toString();
}

void TarvelVariant::createLabels(const LabelSite &site) const
{
    auto *label1 = new HollowLabel(texts::kSoftwareInfo.toString(), site.pictureBox);
    label1->setObjectName(QStringLiteral("Label1"));
    layoutLabel(label1, site.scale, 330, 600, headingFont(), kHeadingColour);

    auto *label2 = new LinkLabel(program1Name(), site.pictureBox);
    label2->setObjectName(QStringLiteral("Label2"));
    layoutLabel(label2, site.scale, 240, 1080, songTiFont(9, true), kLinkColour);
    QObject::connect(label2, &LinkLabel::clicked, label2, [site] { Label2_Click(site); });
    QObject::connect(label2, &LinkLabel::mouseMoved, label2, &LinkLabel::applyHoverStyle);

    auto *label3 = new LinkLabel(program2Name(), site.pictureBox);
    label3->setObjectName(QStringLiteral("Label3"));
    layoutLabel(label3, site.scale, 330, 1500, songTiFont(9, true), kLinkColour);
    QObject::connect(label3, &LinkLabel::clicked, label3, [site] { Label3_Click(site); });
    QObject::connect(label3, &LinkLabel::mouseMoved, label3, &LinkLabel::applyHoverStyle);
}

void TarvelVariant::Label2_Click(const LabelSite &site)
{
    openPage(site, program1Link());
}

void TarvelVariant::Label3_Click(const LabelSite &site)
{
    openPage(site, program2Link());
}

void TarvelVariant::openPage(const LabelSite &site, const QString &link)
{
    static_cast<void>(site.links.openLink(
        LinkRequest{site.alert, QStringLiteral("open"), link, std::nullopt, std::nullopt, 1}));
}

} // namespace popup
