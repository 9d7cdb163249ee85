#include "ImageLoading.h"

#include <QImageReader>

namespace popup {

QImage loadImageOfFormat(const QString &path, const char *format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace popup
