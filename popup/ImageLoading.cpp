#include "ImageLoading.h"

#include <QImageReader>

namespace popup {

Result<QImage> loadImageOfFormat(const QString &path, const char *format)
{
    QImageReader reader(path, format);
    reader.setAutoDetectImageFormat(false);
    QImage image = reader.read();
    if (image.isNull()) {
        return Failure{reader.errorString()};
    }
    return image;
}

} // namespace popup
