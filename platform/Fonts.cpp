#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace {

// Installed CJK faces in order of preference (Debian: fonts-wqy-zenhei first).
const QStringList &cjkFallbacks()
{
    static const QStringList faces{
        QStringLiteral("WenQuanYi Zen Hei"),   QStringLiteral("Noto Sans CJK SC"),
        QStringLiteral("Noto Serif CJK SC"),   QStringLiteral("Source Han Sans SC"),
        QStringLiteral("AR PL UMing CN"),      QStringLiteral("AR PL UKai CN"),
        QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Droid Sans Fallback"),
    };
    return faces;
}

const QStringList &windowsCjkFaces()
{
    static const QStringList faces{
        QStringLiteral("宋体"),     QStringLiteral("SimSun"),
        QStringLiteral("新宋体"),   QStringLiteral("NSimSun"),
        QStringLiteral("黑体"),     QStringLiteral("SimHei"),
        QStringLiteral("楷体"),     QStringLiteral("KaiTi"),
        QStringLiteral("仿宋"),     QStringLiteral("FangSong"),
        QStringLiteral("华文彩云"), QStringLiteral("STCaiyun"),
        QStringLiteral("华文行楷"), QStringLiteral("STXingkai"),
        QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
    };
    return faces;
}

} // namespace

void registerFontSubstitutions()
{
    const QStringList installed = QFontDatabase::families();
    QStringList available;
    for (const QString &face : cjkFallbacks()) {
        if (installed.contains(face, Qt::CaseInsensitive)) {
            available << face;
        }
    }
    if (available.isEmpty()) {
        available = cjkFallbacks();
    }
    for (const QString &face : windowsCjkFaces()) {
        if (!installed.contains(face, Qt::CaseInsensitive)) {
            QFont::insertSubstitutions(face, available);
        }
    }
}

QFont songTiFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
