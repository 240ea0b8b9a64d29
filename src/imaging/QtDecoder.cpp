#include "imaging/QtDecoder.h"

#include "imaging/Exiv2Support.h"
#include "imaging/Orientation.h"
#include "imaging/TruncationChecks.h"

#include <QImageReader>

namespace imaging::detail {

void selectLargestImage(QImageReader& reader, ImageType type)
{
    if (type != ImageType::Ico)
        return;
    constexpr int kMaxEntries = 256;
    const int count = std::min(reader.imageCount(), kMaxEntries);
    int best = 0;
    qint64 bestArea = -1;
    for (int i = 0; i < count; ++i) {
        if (!reader.jumpToImage(i))
            continue;
        const QSize size = reader.size();
        if (qint64(size.width()) * size.height() > bestArea) {
            bestArea = qint64(size.width()) * size.height();
            best = i;
        }
    }
    reader.jumpToImage(best);
}

std::optional<QImage> decodeWithQt(const QString& path, ImageType type,
                                   const DecodeOptions& options)
{
    QImageReader reader(path, qtFormat(type));
    selectLargestImage(reader, type);
    const QSize stored = reader.size();
    if (stored.isValid() && !withinPixelBudget(stored.width(), stored.height()))
        return std::nullopt;
    if (!looksComplete(path, type))
        return std::nullopt;
    reader.setAutoTransform(options.upright);
    if (options.boundingSize > 0 && type == ImageType::Jpeg && stored.isValid()) {
        // libjpeg scales by powers of two while decoding; the size refers to the stored image.
        const QSize target =
            stored.scaled(options.boundingSize, options.boundingSize, Qt::KeepAspectRatio);
        if (target.width() < stored.width() && !target.isEmpty())
            reader.setScaledSize(target);
    }
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    // Qt applies the orientation of JPEG and TIFF only.
    const bool qtOriented = reader.transformation() != QImageIOHandler::TransformationNone;
    if (options.upright && !qtOriented && (type == ImageType::Png || type == ImageType::Webp)) {
        if (const std::optional<int> orientation = orientationTag(path))
            image = orientedImage(image, *orientation);
    }
    if (options.toSrgb) {
        convertToSrgb(image);
        // For the screen: Qt scales a one-bit image as one-bit, dithered to black and white.
        if (image.depth() == 1)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                  : QImage::Format_RGB32);
    }
    return image;
}

} // namespace imaging::detail
