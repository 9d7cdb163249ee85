#include "Form1.h"

#include "Form2.h"

Form1::Form1(const AlertServices &services, const AlertVariant &variant)
    : QWidget(nullptr), m_services(services), m_variant(variant)
{
    setObjectName(QStringLiteral("Form1"));
}

void Form1::Form_Load()
{
    hide();
    ShowAlert(QStringLiteral("欢迎"));
}

void Form1::ShowAlert(const QString &message)
{
    // The alert lives on by itself and is deleted when it closes.
    auto *alert = new Form2(m_services, m_variant, this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->DisplayAlert(message, kAlertDuration);
}
