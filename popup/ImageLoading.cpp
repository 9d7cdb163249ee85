#include "ImageLoading.h"

#include <QImageReader>

QImage loadImageOfFormat(const QString &path, const char *format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}
