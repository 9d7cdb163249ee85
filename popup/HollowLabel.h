#pragma once

#include <QLabel>
#include <QPainterPath>

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

    // How often the outline was built; it is built again only when the text,
    // the font or the contents rectangle changed.
    [[nodiscard]] int shapeBuilds() const { return m_shapeBuilds; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    // The thickened glyphs whose outline is drawn. Uniting the glyphs with
    // their stroke is slow (tens of milliseconds), and the label is repainted
    // on every step of the unrolling window.
    const QPainterPath &shape();

    QPainterPath m_shape;
    QString m_shapeText;
    QFont m_shapeFont;
    QRect m_shapeArea;
    int m_shapeBuilds = 0;
};

} // namespace popup
