#pragma once

#include "CommandButton.h"

#include <cstdint>

namespace plovi {

// A track button of the main window in the graphical style: its face is
// filled with exactly its back colour. Its tag holds the bound file's path.
class TrackButton : public CommandButton
{
    Q_OBJECT
  public:
    explicit TrackButton(const QString &text, QWidget *parent);

    [[nodiscard]] const QString &tag() const { return m_tag; }
    void setTag(const QString &tag);

    // 0x00BBGGRR; starts as the system button face colour.
    [[nodiscard]] int32_t backColor() const { return m_backColor; }
    void setBackColor(int32_t bgr);

    // Marks a bound button whose file is missing or unreadable with a small
    // red corner that leaves the caption and the back colour in view. Only
    // the look changes: a click behaves the same.
    [[nodiscard]] bool fileMissing() const { return m_fileMissing; }
    void setFileMissing(bool missing);

  signals:
    // Any mouse movement over the button (only an enabled button gets them).
    void mouseMoved();

  protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

  private:
    QString m_tag;
    int32_t m_backColor;
    bool m_fileMissing = false;
};

} // namespace plovi
