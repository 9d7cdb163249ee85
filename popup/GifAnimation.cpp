#include "GifAnimation.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <numeric>

namespace popup {

GifAnimation::GifAnimation(QLabel *label, const QString &path, const char *format)
    : QObject(label), m_label(label), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &GifAnimation::advance);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    // Only the named format's handler is asked; judging by the content would
    // probe the other plugins again.
    QImageReader reader(&file, format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    while (reader.canRead()) {
        const QImage image = reader.read();
        if (image.isNull()) {
            break;
        }
        m_frames.push_back(
            Frame{QPixmap::fromImage(image), std::max(reader.nextImageDelay(), kMinimumDelay)});
    }
}

void GifAnimation::start()
{
    if (m_frames.empty()) {
        return;
    }
    showFrame(0);
}

bool GifAnimation::isRunning() const
{
    return m_timer->isActive();
}

int GifAnimation::frameDelay(int index) const
{
    if (index < 0 || index >= frameCount()) {
        return 0;
    }
    return m_frames[static_cast<size_t>(index)].delay;
}

QPixmap GifAnimation::frame(int index) const
{
    if (index < 0 || index >= frameCount()) {
        return {};
    }
    return m_frames[static_cast<size_t>(index)].pixmap;
}

int GifAnimation::loopDuration() const
{
    return std::accumulate(m_frames.begin(), m_frames.end(), 0,
                           [](int sum, const Frame &frame) { return sum + frame.delay; });
}

void GifAnimation::showFrame(int index)
{
    m_current = index;
    const Frame &frame = m_frames[static_cast<size_t>(index)];
    m_label->setPixmap(frame.pixmap);
    m_timer->start(frame.delay);
}

void GifAnimation::advance()
{
    showFrame((m_current + 1) % frameCount());
}

} // namespace popup
