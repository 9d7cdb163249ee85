#pragma once

#include <QPushButton>

namespace plovi {

// A push button whose caption wraps between any two characters when the
// button is too narrow for it, as on the player's upright bottom buttons.
// Never a default button: Enter does not press it.
class CommandButton : public QPushButton
{
    Q_OBJECT
  public:
    explicit CommandButton(const QString &text, QWidget *parent);

  protected:
    void paintEvent(QPaintEvent *event) override;

    // Draws the caption and, with the focus, the focus frame over the face.
    void paintCaption(QPainter &painter);
};

} // namespace plovi
