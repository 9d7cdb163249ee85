#pragma once

#include <QWidget>

#include <cstdint>

namespace plovi {

// A rectangle shape: filled, outlined, and transparent for the mouse so that
// a press on it reaches the window beneath.
class ShapeRect : public QWidget
{
    Q_OBJECT
  public:
    ShapeRect(int32_t fillColor, int32_t borderColor, int borderWidth, QWidget *parent);

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    const int32_t m_fillColor;
    const int32_t m_borderColor;
    const int m_borderWidth;
};

} // namespace plovi
