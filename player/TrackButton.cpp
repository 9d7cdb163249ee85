#include "TrackButton.h"

#include "SysColors.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {
constexpr int kButtonFace = 15;
}

namespace plovi {

TrackButton::TrackButton(const QString &text, QWidget *parent)
    : CommandButton(text, parent), m_backColor(sysColor(kButtonFace))
{}

void TrackButton::setTag(const QString &tag)
{
    m_tag = tag;
}

void TrackButton::setBackColor(int32_t bgr)
{
    if (bgr == m_backColor) {
        return;
    }
    m_backColor = bgr;
    update();
}

void TrackButton::mouseMoveEvent(QMouseEvent *event)
{
    emit mouseMoved();
    CommandButton::mouseMoveEvent(event);
}

void TrackButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QBrush face(toQColor(m_backColor));
    qDrawWinButton(&painter, rect(), palette(), isDown(), &face);
    paintCaption(painter);
}

} // namespace plovi
