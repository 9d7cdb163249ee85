#pragma once

#include <QLabel>

namespace popup {

// A label that draws its text as hollow characters: the outline of each
// glyph in the label's text colour (QPalette::WindowText), nothing inside. It stands in for a
// decorative hollow face (华文彩云) that no free font matches: the glyphs of the label's own font
// are thickened first, so that the strokes keep an open inside. Text, font, geometry and size hint
// are those of a QLabel.
class HollowLabel : public QLabel
{
    Q_OBJECT

  public:
    explicit HollowLabel(const QString &text, QWidget *parent);

  protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace popup
