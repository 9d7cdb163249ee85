#pragma once

#include "Result.h"

#include <QImage>
#include <QString>

namespace popup {

// Reads an image of a known format (e.g. "png") without probing the image
// plugins: letting Qt guess loads every installed plugin and its libraries.
// Fails, with Qt's reason, when the file cannot be read as that format.
[[nodiscard]] Result<QImage> loadImageOfFormat(const QString &path, const char *format);

} // namespace popup
