#include "Fonts.h"

#include <QFontDatabase>
#include <QHash>
#include <QRawFont>
#include <QStringList>
#include <QtEndian>

#include <cmath>

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

// Song (Ming) faces for 宋体 (Debian: fonts-arphic-uming first, whose bitmaps
// at 11 to 16 pixels match SimSun's at 9 and 12 pt).
const QStringList &songFaces()
{
    static const QStringList faces{
        QStringLiteral("AR PL UMing CN"),      QStringLiteral("AR PL UMing TW"),
        QStringLiteral("AR PL New Sung"),      QStringLiteral("Noto Serif CJK SC"),
        QStringLiteral("Source Han Serif SC"),
    };
    return faces;
}

const QStringList &songTiNames()
{
    static const QStringList faces{
        QStringLiteral("宋体"),
        QStringLiteral("SimSun"),
        QStringLiteral("新宋体"),
        QStringLiteral("NSimSun"),
    };
    return faces;
}

const QStringList &otherWindowsCjkFaces()
{
    static const QStringList faces{
        QStringLiteral("黑体"),      QStringLiteral("SimHei"),   QStringLiteral("楷体"),
        QStringLiteral("KaiTi"),     QStringLiteral("仿宋"),     QStringLiteral("FangSong"),
        QStringLiteral("华文彩云"),  QStringLiteral("STCaiyun"), QStringLiteral("华文行楷"),
        QStringLiteral("STXingkai"), QStringLiteral("微软雅黑"), QStringLiteral("Microsoft YaHei"),
    };
    return faces;
}

QStringList installedOf(const QStringList &faces, const QStringList &installed)
{
    QStringList available;
    for (const QString &face : faces) {
        if (installed.contains(face, Qt::CaseInsensitive)) {
            available << face;
        }
    }
    return available;
}

// Whether songTiFont(size, bold) draws from bitmaps, by size in 1/64 pt and
// weight. A window asks for the same few sizes many times, and each answer
// reads the face's whole EBLC table (400 kB for AR PL UMing). Main thread.
QHash<qint64, bool> &bitmapStrikeCache()
{
    static QHash<qint64, bool> cache;
    return cache;
}

void substitute(const QStringList &names, const QStringList &faces, const QStringList &installed)
{
    for (const QString &name : names) {
        if (!installed.contains(name, Qt::CaseInsensitive)) {
            QFont::insertSubstitutions(name, faces);
        }
    }
}

} // namespace

void registerFontSubstitutions()
{
    const QStringList installed = QFontDatabase::families();
    QStringList fallbacks = installedOf(cjkFallbacks(), installed);
    if (fallbacks.isEmpty()) {
        fallbacks = cjkFallbacks();
    }
    QStringList song = installedOf(songFaces(), installed);
    for (const QString &face : fallbacks) {
        if (!song.contains(face)) {
            song << face;
        }
    }
    substitute(songTiNames(), song, installed);
    substitute(otherWindowsCjkFaces(), fallbacks, installed);
    bitmapStrikeCache().clear();
}

bool hasBitmapStrike(const QFont &font)
{
    const QRawFont raw = QRawFont::fromFont(font);
    if (!raw.isValid()) {
        return false;
    }
    // EBLC: version (4 bytes), numSizes (4), then one 48-byte bitmapSize
    // record per strike with ppemX at byte 44 and ppemY at byte 45.
    constexpr qsizetype kHeader = 8;
    constexpr qsizetype kRecord = 48;
    constexpr qsizetype kPpemY = 45;
    const QByteArray eblc = raw.fontTable("EBLC");
    if (eblc.size() < kHeader) {
        return false;
    }
    const quint32 strikes = qFromBigEndian<quint32>(eblc.constData() + 4);
    const auto pixels = static_cast<long>(std::lround(raw.pixelSize()));
    for (quint32 i = 0; i < strikes; ++i) {
        const qsizetype at = kHeader + static_cast<qsizetype>(i) * kRecord;
        if (at + kRecord > eblc.size()) {
            break;
        }
        if (static_cast<uchar>(eblc.at(at + kPpemY)) == pixels) {
            return true;
        }
    }
    return false;
}

QFont songTiFont(double pointSize, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    const qint64 key = std::llround(pointSize * 64) * 2 + (bold ? 1 : 0);
    auto known = bitmapStrikeCache().constFind(key);
    if (known == bitmapStrikeCache().constEnd()) {
        known = bitmapStrikeCache().insert(key, hasBitmapStrike(font));
    }
    if (*known) {
        font.setStyleStrategy(QFont::NoAntialias);
    }
    return font;
}
