#pragma once

#include <QObject>
#include <QPixmap>
#include <QString>

#include <vector>

class QLabel;
class QTimer;

namespace popup {

// Plays a looping animation on a label. Every frame is decoded once, up front,
// by the handler of the named format alone: no other image plugin is probed
// or loaded (QMovie always lets its reader guess the format, which loads
// several plugins and their libraries before the first frame). Frames are
// shown for their own delays and the animation loops for as long as it lives.
class GifAnimation : public QObject
{
    Q_OBJECT

  public:
    // Owned by `label`. Without readable frames the animation stays empty and
    // the label is left untouched.
    GifAnimation(QLabel *label, const QString &path, const char *format);

    // Shows the first frame and starts the loop, which runs as long as the
    // label lives; does nothing without frames.
    void start();

    [[nodiscard]] bool isRunning() const;
    [[nodiscard]] int frameCount() const { return static_cast<int>(m_frames.size()); }
    [[nodiscard]] int currentFrame() const { return m_current; }
    // How long frame `index` stays on screen, in milliseconds.
    [[nodiscard]] int frameDelay(int index) const;
    // Frame `index` as decoded; null outside the animation.
    [[nodiscard]] QPixmap frame(int index) const;
    // One whole loop, in milliseconds.
    [[nodiscard]] int loopDuration() const;

    // Frames with a shorter delay are shown this long, in milliseconds, so a
    // zero delay cannot keep the event loop busy.
    static constexpr int kMinimumDelay = 10;

  private:
    struct Frame
    {
        QPixmap pixmap;
        int delay = 0; // ms
    };

    void showFrame(int index);
    void advance();

    QLabel *const m_label;
    QTimer *const m_timer;
    std::vector<Frame> m_frames;
    int m_current = -1;
};

} // namespace popup
