#pragma once

#include "AlertServices.h"

#include <QWidget>

#include <cstdint>

namespace popup {

class AlertVariant;

// The start-up window of a pop-up program (object name Form1). It is never
// seen: loading hides it and shows one alert; the alert closes it at the very
// end.
class StartupWindow : public QWidget
{
    Q_OBJECT

  public:
    StartupWindow(const AlertServices &services, const AlertVariant &variant);

    // The start-up: hides the window and shows the alert.
    void Form_Load();

    // How long an alert holds, in milliseconds.
    static constexpr int32_t kAlertDuration = 3000;

  protected:
    // A close request from the window system (spontaneous) is refused; the
    // alert closes this window at its end.
    void closeEvent(QCloseEvent *event) override;

  private:
    void ShowAlert(const QString &message);

    const AlertServices m_services;
    const AlertVariant &m_variant;
};

} // namespace popup
