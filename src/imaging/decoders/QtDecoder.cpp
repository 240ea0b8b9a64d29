#include "imaging/decoders/QtDecoder.h"

#include "imaging/checks/ContainerChecks.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/support/ImageBuffer.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/checks/TruncationChecks.h"

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

namespace {

// An indexed image whose pixels point past a short colour table: Qt's conversions and scaling
// read the table without looking at its length, so every missing entry is made black.
void padColourTable(QImage& image)
{
    const QImage::Format format = image.format();
    if (format != QImage::Format_Indexed8 && format != QImage::Format_Mono &&
        format != QImage::Format_MonoLSB)
        return;
    QList<QRgb> table = image.colorTable();
    const qsizetype full = qsizetype(1) << image.depth();
    if (table.size() >= full)
        return;
    table.resize(full, qRgb(0, 0, 0));
    image.setColorTable(table);
}

} // namespace

QImage readFrame(QImageReader& reader, ImageType type)
{
    QImage image;
    // Qt's BMP and TIFF readers fill the image they are handed when its size and format are
    // the ones they would allocate, and leave rows unwritten when the data runs out: hand them
    // a cleared one, so that no stale memory is ever shown.
    if ((type == ImageType::Bmp || type == ImageType::Tiff) && !reader.scaledSize().isValid()) {
        const QSize size = reader.size();
        const QImage::Format format = reader.imageFormat();
        if (format != QImage::Format_Invalid && withinPixelBudget(size.width(), size.height())) {
            image = newImage(size.width(), size.height(), format); // starts out zero
        }
    }
    if (!reader.read(&image))
        return {};
    padColourTable(image);
    return image;
}

void openWithQt(QImageReader& reader, const QString& path, ImageType type)
{
    if (type == ImageType::Tiff)
        quietTiffLibrary();
    reader.setFileName(path);
    reader.setFormat(qtFormat(type));
    reader.setAutoDetectImageFormat(false);
}

bool mayReadWithQt(const QString& path, ImageType type)
{
    return containerIsSound(path, type) && looksComplete(path, type);
}

std::optional<QImage> decodeWithQt(const QString& path, ImageType type,
                                   const DecodeOptions& options)
{
    if (!mayReadWithQt(path, type))
        return std::nullopt;
    QImageReader reader;
    openWithQt(reader, path, type);
    selectLargestImage(reader, type);
    const QSize stored = reader.size();
    if (stored.isValid() && !withinPixelBudget(stored.width(), stored.height()))
        return std::nullopt;
    // The orientation is applied below, as every other reader of this program finds it.
    reader.setAutoTransform(false);
    if (options.boundingSize > 0 && type == ImageType::Jpeg && stored.isValid()) {
        // libjpeg scales by powers of two while decoding; the size refers to the stored image.
        const QSize target =
            stored.scaled(options.boundingSize, options.boundingSize, Qt::KeepAspectRatio);
        if (target.width() < stored.width() && !target.isEmpty())
            reader.setScaledSize(target);
    }
    QImage image = readFrame(reader, type);
    if (image.isNull())
        return std::nullopt;
    if (options.upright)
        image = orientedImage(image, storedOrientation(path, type).shown());
    if (options.forScreen) {
        convertForScreen(image, options);
        // For the screen: Qt scales a one-bit image as one-bit, dithered to black and white.
        if (image.depth() == 1)
            image = image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                  : QImage::Format_RGB32);
    }
    return image;
}

} // namespace imaging::detail
