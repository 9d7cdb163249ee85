#include "LinkLabel.h"

#include "SysColors.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QtMath>

#include <algorithm>

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
    // The text stays on its pixels: it is drawn from the top of where it
    // stood (vertically centred) and the label grows downward to take in
    // the line.
    const QRect text = style()->itemTextRect(fontMetrics(), contentsRect(), alignment(),
                                             isEnabled(), this->text());
    const int textTop = std::max(0, text.top());
    setAlignment((alignment() & ~Qt::AlignVertical_Mask) | Qt::AlignTop);
    setContentsMargins(0, textTop, 0, 0);
    f.setUnderline(true);
    setFont(f);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, toQColor(kHoverColour));
    setPalette(p);
    const QRect line = underline();
    resize(std::max(width(), line.right() + 1), std::max(height(), line.bottom() + 1));
}

QRect LinkLabel::underline() const
{
    // The line's ascent: a fallback face for the Chinese characters can
    // reach higher than the label's own face.
    QTextLayout layout(text(), font());
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    const QFontMetrics metrics(font());
    const int baseline = contentsRect().top() + qCeil(line.ascent());
    // Some faces put their underline on the baseline (position 0), where
    // the glyphs hide it.
    const int below = std::max(1, metrics.underlinePos());
    return QRect(contentsRect().left(), baseline + below, metrics.horizontalAdvance(text()),
                 std::max(1, metrics.lineWidth()));
}

void LinkLabel::paintEvent(QPaintEvent *event)
{
    if (!font().underline()) {
        QLabel::paintEvent(event);
        return;
    }
    // The face's own underline lies where the face says, which can be on
    // the baseline or below the label; this one lies under the glyphs.
    QPainter painter(this);
    QFont plain = font();
    plain.setUnderline(false);
    painter.setFont(plain);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(),
                          isEnabled(), text(), foregroundRole());
    painter.fillRect(underline(), palette().color(foregroundRole()));
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
