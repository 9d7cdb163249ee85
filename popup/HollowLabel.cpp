#include "HollowLabel.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>

namespace popup {

namespace {

// Pixels added across every stroke before the outline is drawn: enough to
// open up the strokes of a 14-pixel face, little enough to keep the
// characters apart.
constexpr double kThickening = 1.2;
// Width of the outline in pixels: wide enough for most of it to cover whole
// pixels in the full colour when anti-aliased.
constexpr double kOutlineWidth = 1.4;

} // namespace

HollowLabel::HollowLabel(const QString &text, QWidget *parent) : QLabel(text, parent) {}

const QPainterPath &HollowLabel::shape()
{
    const QRect area = contentsRect();
    if (m_shapeText == text() && m_shapeFont == font() && m_shapeArea == area) {
        return m_shape;
    }
    const QFontMetricsF metrics(font());
    const double top = area.top() + (area.height() - metrics.height()) / 2.0;
    QPainterPath glyphs;
    glyphs.addText(QPointF(area.left(), top + metrics.ascent()), font(), text());
    QPainterPathStroker thickener;
    thickener.setWidth(kThickening);
    thickener.setJoinStyle(Qt::RoundJoin);
    thickener.setCapStyle(Qt::RoundCap);
    m_shape = glyphs.united(thickener.createStroke(glyphs));
    m_shapeText = text();
    m_shapeFont = font();
    m_shapeArea = area;
    ++m_shapeBuilds;
    return m_shape;
}

void HollowLabel::paintEvent(QPaintEvent *)
{
    const QPainterPath &outline = shape();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), kOutlineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(outline);
}

} // namespace popup
