#include "CameraRaw.h"

#include "../tests/imaging/Fixtures.h"

namespace bench {

bool writeCameraDng(const QString& path, const QImage& photo)
{
    if (photo.isNull())
        return false;
    const QImage rgb = photo.convertToFormat(QImage::Format_RGB32);
    return fixtures::writeDng(path, rgb) &&
           fixtures::appendDngPreview(
               path, rgb.scaled(1620, 1080, Qt::IgnoreAspectRatio, Qt::SmoothTransformation), true);
}

} // namespace bench
