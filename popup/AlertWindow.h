#pragma once

// The pop-up library: the windows shared by the pop-up programs Nobix and
// Tarvel. A program's main() calls popupMain (PopupProgram.h) with its
// AlertVariant (labels, links, artwork, sound; popup/nobix, popup/tarvel).
// The hidden StartupWindow shows one AlertWindow, which slides up at the
// bottom-right corner of the screen, holds, slides down and ends the program.
// The alert's background is a gradient painted by the gradient library on a
// PictureBox. Every text the pop-ups show lives in PopupTexts.h.

#include "AlertServices.h"
#include "DeviceGeometry.h"
#include "TwipsGeometry.h"

#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>

class GradientRect;
class QLabel;
class QTimer;

namespace popup {

class AlertVariant;
class GifAnimation;
class PictureBox;

// The alert window (object name Form2): placed almost flat at the bottom-right
// corner of the usable screen area, it unrolls upward (tmrOpen), holds
// (tmrAlert), rolls back down (tmrClose) and then ends the program. Its bottom
// edge never moves. All positions and sizes are in twips and read back as
// whole pixels. On the device the window keeps the right and bottom edges of
// the flat window, drawn in on the screen's available area, whatever the
// device-pixel ratio; its device size may then differ from the logical one by
// a pixel or two.
class AlertWindow : public QWidget
{
    Q_OBJECT

  public:
    // `startWindow` is closed together with the alert at the end.
    AlertWindow(const AlertServices &services, const AlertVariant &variant, QWidget *startWindow);
    ~AlertWindow() override;

    // Called once on a new window. `message` is accepted and not shown;
    // `duration` is the hold in milliseconds, at least 0. Returns once the
    // window is shown and the opening has started.
    void DisplayAlert(const QString &message, int32_t duration);

    // The number of alerts shown in this process (0 at start, back to 0 when
    // the latest alert closes).
    [[nodiscard]] static int16_t AlertCount();
    static void setAlertCount(int16_t value);

    [[nodiscard]] double Left() const { return m_geometry.left(); }
    [[nodiscard]] double Top() const { return m_geometry.top(); }
    [[nodiscard]] double Width() const { return m_geometry.width(); }
    [[nodiscard]] double Height() const { return m_geometry.height(); }
    [[nodiscard]] int32_t AlertNumber() const { return m_alertNumber; }
    [[nodiscard]] int32_t FullScreenWidth() const { return m_fullScreenWidth; }
    [[nodiscard]] int32_t FullScreenHeight() const { return m_fullScreenHeight; }

    static constexpr int kOpenInterval = 10;  // ms
    static constexpr int kCloseInterval = 10; // ms
    static constexpr double kStep = 30;       // twips per tick

  public slots:
    void tmrOpen_Timer();
    void tmrAlert_Timer();
    void tmrClose_Timer();

  protected:
    // A close request from the window system (spontaneous) is refused: the
    // user cannot end an alert early. A close by the program before the
    // last closing tick ends the program, which would otherwise run on
    // without a window.
    void closeEvent(QCloseEvent *event) override;

  private:
    [[nodiscard]] double pictureWidth() const;
    [[nodiscard]] double pictureHeight() const;
    // Changes the height and moves the top by the change actually made, so
    // the bottom edge stays on its pixel.
    void resizeKeepingBottom(double height);
    // Places the window from m_geometry, on the device corner once there is
    // one.
    void applyGeometry();

    const AlertServices m_services;
    const AlertVariant &m_variant;
    QWidget *const m_startWindow;
    TwipsGeometry m_geometry;
    DeviceGeometry m_device{1.0};
    // Device pixel one past the window's right edge and bottom edge.
    std::optional<QPoint> m_deviceCorner;

    PictureBox *const m_picture;
    QLabel *const m_image2;
    QLabel *const m_aniGif1;
    GifAnimation *const m_swing;
    QTimer *const m_tmrOpen;
    QTimer *const m_tmrAlert;
    QTimer *const m_tmrClose;

    std::unique_ptr<GradientRect> m_gradient;
    int32_t m_fullScreenWidth = 0;
    int32_t m_fullScreenHeight = 0;
    int32_t m_borderWidth = 0;
    int32_t m_borderHeight = 0;
    int32_t m_alertNumber = 0;
    bool m_ending = false; // the program is being ended
};

} // namespace popup
