#pragma once

#include <QFont>

// Maps the Windows CJK face names the programs ask for (宋体/SimSun,
// 华文彩云/STCaiyun and the like) to CJK faces found on Linux: 宋体 and 新宋体
// to a Song (Ming) face, the others to the installed CJK faces. Call once
// after the QApplication exists and before the first window is built.
void registerFontSubstitutions();

// 宋体 at the given size in points. Where the face it resolves to has bitmaps
// drawn for that pixel size (as SimSun has at 9 and 12 pt), they are used
// without smoothing, so text shows exactly its colour.
[[nodiscard]] QFont songTiFont(double pointSize, bool bold = false);

// Whether the face the font resolves to carries a bitmap strike (an EBLC
// table entry) for the font's pixel size.
[[nodiscard]] bool hasBitmapStrike(const QFont &font);
