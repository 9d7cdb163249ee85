#include "StartupWindow.h"

#include "AlertWindow.h"
#include "PopupTexts.h"

#include <QCloseEvent>

namespace popup {

StartupWindow::StartupWindow(const AlertServices &services, const AlertVariant &variant)
    : QWidget(nullptr), m_services(services), m_variant(variant)
{
    setObjectName(QStringLiteral("Form1"));
}

void StartupWindow::Form_Load()
{
    hide();
    ShowAlert(texts::kWelcome.toString());
}

void StartupWindow::closeEvent(QCloseEvent *event)
{
    event->setAccepted(!event->spontaneous());
}

void StartupWindow::ShowAlert(const QString &message)
{
    // The alert lives on by itself and is deleted when it closes.
    auto *alert = new AlertWindow(m_services, m_variant, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->DisplayAlert(message, kAlertDuration);
}

} // namespace popup
