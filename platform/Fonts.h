#pragma once

#include <QFont>

// Maps the Windows CJK face names the programs ask for (宋体/SimSun,
// 华文彩云/STCaiyun and the like) to CJK faces found on Linux. Call once after
// the QApplication exists and before the first window is built.
void registerFontSubstitutions();

// 宋体 at the given size in points.
[[nodiscard]] QFont songTiFont(double pointSize, bool bold = false);
