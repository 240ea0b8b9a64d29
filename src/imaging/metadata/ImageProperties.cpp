#include "imaging/ImageProperties.h"

#include "imaging/TypeTable.h"
#include "imaging/checks/ContainerChecks.h"
#include "imaging/metadata/HeaderReaders.h"
#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/metadata/ExifReading.h"
#include "imaging/metadata/Exiv2Support.h"
#include "imaging/decoders/HeifDecoder.h"
#include "imaging/decoders/JxlDecoder.h"
#include "imaging/decoders/PsdReader.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/decoders/RawDecoder.h"
#include "imaging/metadata/StoredColour.h"

#include <QImageReader>

namespace imaging {

namespace {

// Depth per component and colour model of the format a Qt reader announces.
void describeFormat(QImage::Format format, ImageProperties& properties)
{
    switch (format) {
    case QImage::Format_Invalid:
        return;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
        properties.depth = 1;
        properties.colorModel = QStringLiteral("Gray");
        return;
    case QImage::Format_Grayscale8:
    case QImage::Format_Alpha8:
        properties.depth = 8;
        properties.colorModel = QStringLiteral("Gray");
        return;
    case QImage::Format_Grayscale16:
        properties.depth = 16;
        properties.colorModel = QStringLiteral("Gray");
        return;
    default:
        break;
    }
    const int red = QImage::toPixelFormat(format).redSize();
    properties.depth = red > 0 ? red : 8; // indexed formats hold 8-bit colours
    properties.colorModel = QStringLiteral("RGB");
}

void applyStoredColour(const std::optional<detail::StoredColour>& stored,
                       ImageProperties& properties)
{
    if (stored) {
        properties.depth = stored->depth;
        properties.colorModel = stored->model;
    }
}

void setHeader(ImageProperties& properties, qint64 width, qint64 height, qint64 depth,
               const QString& colorModel)
{
    properties.pixelWidth = width;
    properties.pixelHeight = height;
    properties.depth = depth;
    if (!colorModel.isEmpty())
        properties.colorModel = colorModel;
}

// An Exif block libheif or libjxl found, from its TIFF header on; exiv2 only parses it. Its
// orientation is not the picture's.
void readExifBlock(const QByteArray& block, ImageProperties& properties)
{
    if (block.isEmpty())
        return;
    Exiv2::ExifData exif;
    if (detail::guarded([&] {
            Exiv2::ExifParser::decode(exif, reinterpret_cast<const Exiv2::byte*>(block.constData()),
                                      uint32_t(block.size()));
            return true;
        }))
        detail::readExifDictionaries(exif, properties);
}

} // namespace

namespace detail {

bool readQtHeader(const QString& path, ImageProperties& properties)
{
    // Even Qt's size() lets libpng and libwebp allocate what a lying header declares.
    if (!detail::containerIsSound(path, properties.type))
        return false;
    QImageReader reader;
    detail::openWithQt(reader, path, properties.type);
    detail::selectLargestImage(reader, properties.type);
    const QSize size = reader.size();
    if (!size.isValid() && !reader.canRead())
        return false;
    if (size.isValid()) {
        properties.pixelWidth = size.width();
        properties.pixelHeight = size.height();
    }
    describeFormat(reader.imageFormat(), properties);
    // These always hold 8-bit RGB(A) even when the handler does not say.
    if (!properties.depth &&
        (properties.type == ImageType::Webp || properties.type == ImageType::Gif)) {
        properties.depth = 8;
        properties.colorModel = QStringLiteral("RGB");
    }
    applyStoredColour(detail::readStoredColour(path, properties.type), properties);
    return true;
}

bool readHeifHeader(const QString& path, ImageProperties& properties)
{
    const auto info = readHeifInfo(path);
    if (!info)
        return false;
    setHeader(properties, info->width, info->height, info->bitDepth, QStringLiteral("RGB"));
    readExifBlock(info->exif, properties);
    return true;
}

bool readJxlHeader(const QString& path, ImageProperties& properties)
{
    const std::optional<JxlInfo> info = readJxlInfo(path);
    if (!info)
        return false;
    setHeader(properties, info->width, info->height, info->bitDepth,
              info->grey ? QStringLiteral("Gray") : QStringLiteral("RGB"));
    properties.orientation = info->orientation;
    readExifBlock(info->exif, properties);
    return true;
}

bool readRawHeader(const QString& path, ImageProperties& properties)
{
    if (const auto info = readRawInfo(path)) {
        setHeader(properties, info->width, info->height, info->bitDepth, QStringLiteral("RGB"));
        properties.orientation = info->orientation;
        return true;
    }
    if (isRecognisedRaw(path))
        return false;
    properties.type = ImageType::Tiff;
    return readQtHeader(path, properties);
}

bool readPsdHeader(const QString& path, ImageProperties& properties)
{
    const auto header = readPsdHeader(path);
    if (!header)
        return false;
    setHeader(properties, header->width, header->height, header->depth,
              psdColorModel(header->colorMode));
    return true;
}

} // namespace detail

std::optional<ImageProperties> readImageProperties(const QString& path)
{
    const DecodeScope scope;
    detail::ensureLibrariesReady();
    ImageProperties properties;
    properties.type = detectImageType(path);
    const detail::ReadHeader readHeader = detail::typeRow(properties.type).readHeader;
    if (!readHeader || !readHeader(path, properties))
        return std::nullopt;
    // The header reader may have found the file to be of another type (a TIFF named .nef).
    const detail::TypeRow& row = detail::typeRow(properties.type);
    if (row.metadata == detail::MetadataReader::None)
        return properties;
    if (const detail::MetadataImage metadata = detail::openMetadata(path)) {
        const Exiv2::ExifData& exif = metadata->exifData();
        detail::readExifDictionaries(exif, properties);
        if (properties.type == ImageType::Tiff)
            applyStoredColour(detail::tiffStoredColour(exif), properties);
    }
    // A raw file's is LibRaw's, which follows the file's own entry where it has one.
    if (row.family != DecoderFamily::Raw)
        properties.orientation = detail::storedOrientation(path, properties.type).value;
    return properties;
}

} // namespace imaging
