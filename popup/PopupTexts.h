#pragma once

#include <QString>
#include <QStringView>

// Every text the pop-ups Nobix and Tarvel show, in one place. Not here: the
// names, addresses and links of LinkSettings (build options, popup.ini),
// which the variants read, and the caption "GradientRect" of the gradient
// painter's own failure reports.
namespace popup::texts {

// The program titles: captions of the program's message boxes.
inline constexpr QStringView kNobixTitle = u"Nobix";
inline constexpr QStringView kTarvelTitle = u"Tarvel";

// What the start-up window hands the alert; accepted, never shown.
inline constexpr QStringView kWelcome = u"欢迎";

// Nobix: the link that writes us an e-mail.
inline constexpr QStringView kMailContact = u"邮件联系";

// Tarvel: the heading above the two program links.
inline constexpr QStringView kSoftwareInfo = u"软件信息";

// Run-time errors: numbers and descriptions.
inline constexpr int kOverflowError = 6;
inline constexpr QStringView kOverflowText = u"溢出";
inline constexpr int kInvalidValueError = 380;
inline constexpr QStringView kInvalidValueText = u"无效的属性值";

// The message of the run-time error box for error `number`.
[[nodiscard]] inline QString runtimeErrorMessage(int number, const QString &description)
{
    return QStringLiteral("运行时错误 '%1':\n\n%2").arg(number).arg(description);
}

} // namespace popup::texts
