#include "imaging/ImageService.h"

#include <QImageReader>

namespace imaging {

// Provisional: the full service (raw, HEIF, PSD, limits, colour) replaces this.
std::optional<QImage> decodeImage(const QString& path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

MetadataRows extractMetadata(const QString&)
{
    return {};
}

} // namespace imaging
