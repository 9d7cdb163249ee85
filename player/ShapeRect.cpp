#include "ShapeRect.h"

#include "SysColors.h"

#include <QPainter>

namespace plovi {

ShapeRect::ShapeRect(int32_t fillColor, int32_t borderColor, int borderWidth, QWidget *parent)
    : QWidget(parent), m_fillColor(fillColor), m_borderColor(borderColor),
      m_borderWidth(borderWidth)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void ShapeRect::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), toQColor(m_borderColor));
    painter.fillRect(rect().adjusted(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth),
                     toQColor(m_fillColor));
}

} // namespace plovi
