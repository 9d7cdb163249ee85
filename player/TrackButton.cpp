#include "TrackButton.h"

#include "SysColors.h"

#include <QPainter>
#include <qdrawutil.h>

namespace {
constexpr int kButtonFace = 15;
// Legs of the missing-file corner, in device-independent pixels: clear of a
// centred caption on the 87-pixel-wide button.
constexpr int kMarkSize = 7;
} // namespace

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

void TrackButton::setFileMissing(bool missing)
{
    if (missing == m_fileMissing) {
        return;
    }
    m_fileMissing = missing;
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
    if (m_fileMissing) {
        // Inside the bevel at the top right; a white edge keeps it apart
        // from a red face.
        const QPoint corner = rect().topRight() + QPoint(-2, 2);
        const QPolygon mark({corner, corner - QPoint(kMarkSize, 0), corner + QPoint(0, kMarkSize)});
        painter.setPen(Qt::white);
        painter.setBrush(QColor(220, 0, 0));
        painter.drawPolygon(mark);
    }
    paintCaption(painter);
}

} // namespace plovi
