#include "LabelLayout.h"

#include "SysColors.h"

#include <QLabel>

namespace popup {

void layoutLabel(QLabel *label, TwipsScale scale, double left, double top, const QFont &font,
                 int32_t colour)
{
    label->setFont(font);
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, toQColor(colour));
    label->setPalette(p);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setAutoFillBackground(false);
    const QRect at = twips::toPixels(scale, left, top, 0, 0);
    label->move(at.topLeft());
    label->resize(label->sizeHint());
}

} // namespace popup
