#pragma once

#include <QLabel>

namespace popup {

// A text label that acts as a link. The pointer moving over it applies the
// hover style (underline, blue), which stays until the window closes.
// It reports every mouse button press (any button, without waiting for the
// release) and every click (left press and release on the label; the second
// press of a double click is neither a press nor a click).
class LinkLabel : public QLabel
{
    Q_OBJECT

  public:
    explicit LinkLabel(const QString &text, QWidget *parent);

    // Underline on and text colour RGB(0,0,255), unless already underlined.
    // The label draws the line itself, one pixel or more below the
    // baseline across the text's advance, and grows downward where the line
    // would be cut off; the text stays where it is.
    void applyHoverStyle();

  signals:
    void mouseMoved();
    void pressed(Qt::MouseButton button);
    void clicked();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

  private:
    // Where the hover style's line lies, in the label's coordinates.
    [[nodiscard]] QRect underline() const;

    bool m_leftDown = false;
};

} // namespace popup
