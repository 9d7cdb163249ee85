#include "PictureBox.h"

#include <QPainter>
#include <QPalette>

namespace popup {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent), m_context(m_image)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    syncImageSize();
}

const QImage &PictureBox::image()
{
    syncImageSize();
    return m_image;
}

void PictureBox::clearImage(std::int32_t colour)
{
    syncImageSize();
    const auto c = static_cast<std::uint32_t>(colour);
    m_image.fill(QColor(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu)));
    update();
}

DrawingContext *PictureBox::drawingContext()
{
    syncImageSize();
    return &m_context;
}

bool PictureBox::clientRect(ClientRect &rect) const
{
    rect = ClientRect{0, 0, width(), height()};
    return true;
}

bool PictureBox::lockUpdates()
{
    if (m_updatesLocked || !updatesEnabled()) {
        return false;
    }
    setUpdatesEnabled(false);
    m_updatesLocked = true;
    return true;
}

void PictureBox::unlockUpdates()
{
    if (!m_updatesLocked) {
        return;
    }
    m_updatesLocked = false;
    setUpdatesEnabled(true);
}

void PictureBox::paintEvent(QPaintEvent *)
{
    syncImageSize();
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void PictureBox::syncImageSize()
{
    const QSize wanted = size().expandedTo(QSize(0, 0));
    if (m_image.size() == wanted) {
        return;
    }
    QImage resized(wanted, QImage::Format_RGB32);
    if (resized.isNull() && !wanted.isEmpty()) {
        return; // keep the old image rather than lose it to a failed allocation
    }
    resized.fill(palette().color(backgroundRole()));
    if (!m_image.isNull()) {
        QPainter painter(&resized);
        painter.drawImage(0, 0, m_image);
    }
    m_image = resized;
}

} // namespace popup
