#pragma once

#include <QImage>
#include <QWidget>

#include "DrawTarget.h"
#include "ImageDrawingContext.h"
#include "TargetWindow.h"

namespace popup {

// A picture box: a widget that keeps what is drawn on it in a backing image of its
// own size and puts that image on screen whenever it is painted. As a DrawTarget
// it offers itself as the window (client area = its size, update lock = updates
// disabled) and the image context as the drawing context, so GradientRect::Draw
// paints into the backing image; a later update() or repaint() shows it.
//
// The backing image follows the widget's size at once (also while hidden, before
// any resize event): what it held is kept at the top left, new area is filled with
// the background colour.
class PictureBox : public QWidget, public DrawTarget, public TargetWindow
{
    Q_OBJECT

  public:
    explicit PictureBox(QWidget *parent = nullptr);

    [[nodiscard]] DrawTarget &drawTarget() { return *this; }

    // The backing image, brought to the widget's current size.
    [[nodiscard]] const QImage &image();

    // Fills the backing image with `colour` (0x00BBGGRR).
    void clearImage(std::int32_t colour);

    // DrawTarget
    [[nodiscard]] TargetWindow *targetWindow() override { return this; }
    [[nodiscard]] DrawingContext *drawingContext() override;

    // TargetWindow
    [[nodiscard]] bool clientRect(ClientRect &rect) const override;
    bool lockUpdates() override;
    void unlockUpdates() override;

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void syncImageSize();

    QImage m_image;
    ImageDrawingContext m_context;
    bool m_updatesLocked = false;
};

} // namespace popup
