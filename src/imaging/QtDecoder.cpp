#include "imaging/QtDecoder.h"

#include "imaging/ByteReading.h"
#include "imaging/Exiv2Support.h"
#include "imaging/Orientation.h"

#include <QFile>
#include <QImageReader>

namespace imaging::detail {

namespace {

// The offset of the first start-of-scan marker, walking the segments so that a thumbnail
// embedded in APP1 is skipped; -1 when there is none.
qint64 firstScanOffset(QFile& file)
{
    constexpr int kMaxSegments = 4096;
    qint64 at = 2;
    for (int i = 0; i < kMaxSegments && file.seek(at); ++i) {
        const QByteArray marker = file.read(4);
        if (marker.size() < 2 || quint8(marker[0]) != 0xFF)
            return -1;
        const quint8 code = quint8(marker[1]);
        if (code == 0xFF) { // fill byte
            at += 1;
            continue;
        }
        if (code == 0xDA)
            return at;
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) { // no length field
            at += 2;
            continue;
        }
        if (marker.size() < 4)
            return -1;
        at += 2 + readBigEndian16(marker, 2);
    }
    return -1;
}

} // namespace

bool jpegIsComplete(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const qint64 scan = firstScanOffset(file);
    if (scan < 0 || !file.seek(scan))
        return false;
    // Inside entropy-coded data a 0xFF is always stuffed or a restart marker, so the first
    // FF D9 after the scan header is the end of the image.
    constexpr qint64 kChunk = 1 << 20;
    bool previousWasFF = false;
    while (true) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            return false;
        const char* data = chunk.constData();
        if (previousWasFF && quint8(data[0]) == 0xD9)
            return true;
        for (const char* p = data; (p = static_cast<const char*>(
                                        std::memchr(p, 0xFF, chunk.size() - (p - data))));
             ++p) {
            if (p + 1 < data + chunk.size() && quint8(p[1]) == 0xD9)
                return true;
        }
        previousWasFF = quint8(chunk.back()) == 0xFF;
    }
}

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

std::optional<QImage> decodeWithQt(const QString& path, ImageType type, const DecodeOptions& options)
{
    QImageReader reader(path, qtFormat(type));
    selectLargestImage(reader, type);
    const QSize stored = reader.size();
    if (stored.isValid() && !withinPixelBudget(stored.width(), stored.height()))
        return std::nullopt;
    if (type == ImageType::Jpeg && !jpegIsComplete(path))
        return std::nullopt;
    reader.setAutoTransform(options.upright);
    if (options.boundingSize > 0 && type == ImageType::Jpeg && stored.isValid()) {
        // libjpeg scales by powers of two while decoding; the size refers to the stored image.
        const QSize target = stored.scaled(options.boundingSize, options.boundingSize, Qt::KeepAspectRatio);
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
    if (options.toSrgb)
        convertToSrgb(image);
    return image;
}

} // namespace imaging::detail
