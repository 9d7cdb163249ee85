#include "LinkLabel.h"

#include "SysColors.h"

#include <QMouseEvent>

namespace popup {

namespace {

constexpr int32_t kHoverColour = 0x00FF0000; // RGB(0,0,255)

} // namespace

LinkLabel::LinkLabel(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    setMouseTracking(true);
}

void LinkLabel::applyHoverStyle()
{
    QFont f = font();
    if (f.underline()) {
        return;
    }
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, toQColor(kHoverColour));
    setPalette(p);
}

void LinkLabel::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    event->accept();
}

void LinkLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_leftDown = true;
    }
    event->accept();
    emit pressed(event->button());
}

void LinkLabel::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
    if (event->button() != Qt::LeftButton || !m_leftDown) {
        return;
    }
    m_leftDown = false;
    if (rect().contains(event->position().toPoint())) {
        emit clicked();
    }
}

void LinkLabel::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}

} // namespace popup
