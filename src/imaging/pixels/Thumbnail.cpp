#include "imaging/pixels/Thumbnail.h"

#include "imaging/decoders/Decoding.h"
#include "imaging/pixels/ScreenCopy.h"

namespace imaging {

std::optional<QImage> makeThumbnail(const QString& path, int maxPixelSize)
{
    if (maxPixelSize < 1)
        return std::nullopt;
    detail::DecodeOptions options;
    options.boundingSize = maxPixelSize;
    // Kept on disk for other programs too: sRGB, HDR pictures tone-mapped onto it.
    options.screen = nullptr;
    std::optional<QImage> image = detail::decodeFile(path, options);
    if (!image)
        return std::nullopt;
    if (image->width() > maxPixelSize || image->height() > maxPixelSize) {
        QSize target = image->size().scaled(maxPixelSize, maxPixelSize, Qt::KeepAspectRatio);
        // A sliver of an image still gets one row or column.
        target = target.expandedTo(QSize(1, 1));
        *image = smoothCopy(*image, target);
    }
    return image;
}

} // namespace imaging
