#include "imaging/rotation/PixelRotation.h"

#include "imaging/support/ByteReading.h"
#include "imaging/decoders/Decoding.h"
#include "imaging/metadata/Exiv2Support.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/rotation/RewriteCheck.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>

#include <algorithm>
#include <array>

namespace imaging {

namespace {

// The format a turned bitmap is kept in, following the source's alpha.
QImage::Format workingFormat(const QImage& image)
{
    switch (image.format()) {
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
    case QImage::Format_Indexed8:
        return image.format();
    default:
        break;
    }
    const QPixelFormat pixel = image.pixelFormat();
    const bool deep = pixel.bitsPerPixel() > 32;
    if (image.hasAlphaChannel())
        return deep ? QImage::Format_RGBA64 : QImage::Format_RGBA8888;
    return deep ? QImage::Format_RGBX64 : QImage::Format_RGBX8888;
}

// Tags that describe the stored bitmap rather than the picture; the new file has its own.
bool isStructuralTag(const Exiv2::Exifdatum& datum)
{
    static constexpr std::array<quint16, 33> kTags{
        254, 255, 256, 257, 258, 259, 262, 266, 273, 274, 277, 278, 279,   284,   317,   320,  322,
        323, 324, 325, 330, 338, 339, 513, 514, 529, 530, 531, 532, 34665, 34853, 40965, 34675};
    const std::string group = datum.groupName();
    if (group == "Thumbnail" || group.rfind("SubImage", 0) == 0 || group.rfind("SubThumb", 0) == 0)
        return true;
    return group == "Image" && std::find(kTags.begin(), kTags.end(), datum.tag()) != kTags.end();
}

bool carryMetadata(const QString& source, const QString& destination, const QSize& size)
{
    const detail::MetadataImage from = detail::openMetadata(source);
    if (!from || (from->exifData().empty() && from->xmpData().empty() && from->iptcData().empty()))
        return true;
    const detail::MetadataImage to = detail::openMetadata(destination);
    if (!to)
        return false;
    return detail::guarded([&] {
        Exiv2::ExifData exif;
        for (const Exiv2::Exifdatum& datum : from->exifData()) {
            if (!isStructuralTag(datum))
                exif.add(datum);
        }
        const std::pair<const char*, int> dimensions[] = {
            {"Exif.Photo.PixelXDimension", size.width()},
            {"Exif.Photo.PixelYDimension", size.height()}};
        for (const auto& [key, value] : dimensions) {
            const auto it = exif.findKey(Exiv2::ExifKey(key));
            if (it != exif.end())
                it->setValue(std::to_string(value));
        }
        Exiv2::XmpData xmp = from->xmpData();
        const auto orientation = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
        if (orientation != xmp.end())
            xmp.erase(orientation);
        to->setExifData(exif);
        to->setXmpData(xmp);
        to->setIptcData(from->iptcData());
        to->writeMetadata();
        return true;
    });
}

// WebP keeps its kind: a lossless file is written lossless again.
bool isLosslessWebp(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(12))
        return false;
    constexpr int kMaxChunks = 64;
    for (int i = 0; i < kMaxChunks; ++i) {
        const QByteArray header = file.read(8);
        if (header.size() < 8)
            return false;
        if (header.startsWith("VP8L"))
            return true;
        if (header.startsWith("VP8 "))
            return false;
        const qint64 size = readEndian32(header, 4, true);
        if (!file.seek(file.pos() + size + (size % 2)))
            return false;
    }
    return false;
}

void configureWriter(QImageWriter& writer, ImageType type, const QString& source)
{
    constexpr int kLossyWebpQuality = 90;
    constexpr int kLosslessQuality = 100;
    if (type == ImageType::Webp)
        writer.setQuality(isLosslessWebp(source) ? kLosslessQuality : kLossyWebpQuality);
}

} // namespace

QImage rotatePixels(const QImage& image, int quarterTurns)
{
    if (image.isNull() || quarterTurns < 1 || quarterTurns > 3)
        return {};
    const QImage::Format format = workingFormat(image);
    return turnedClockwise(image.format() == format ? image : image.convertToFormat(format),
                           quarterTurns);
}

bool writeRotatedPixels(const QString& source, const QString& destination, int quarterTurns)
{
    const ImageType type = detectImageType(source);
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (!hasPixelWriter(type) || turns == 0 || QFileInfo::exists(destination))
        return false;
    detail::DecodeOptions options;
    options.forScreen = false;
    // The decode comes first: it refuses a hostile file before any reader looks further.
    const std::optional<QImage> decoded = detail::decodeFile(source, type, options);
    if (!decoded)
        return false;
    // Writing only the first of several images would lose the rest (an animated PNG is one
    // image to Qt), and Qt writes BMP without alpha.
    if (detail::imageCount(source, type) != 1 ||
        (type == ImageType::Bmp && decoded->hasAlphaChannel()))
        return false;
    const QImage turned = rotatePixels(*decoded, turns);
    if (turned.isNull())
        return false;
    // Encode in memory first: Qt's PNG writer leaks its row buffer when the disk
    // fails under it, and a short write is caught here just as well.
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, qtFormat(type));
        configureWriter(writer, type, source);
        if (!writer.write(turned))
            return false;
    }
    QFile out(destination);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    const bool written = out.write(encoded) == encoded.size() && out.flush();
    out.close();
    if (written && carryMetadata(source, destination, turned.size()))
        return true;
    QFile::remove(destination);
    return false;
}

} // namespace imaging
