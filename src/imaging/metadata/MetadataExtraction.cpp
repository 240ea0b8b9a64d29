#include "imaging/metadata/MetadataExtraction.h"

#include "imaging/ImageService.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

#include <cmath>

namespace imaging {

namespace {

// Row labels, marked here so that the translation tools find them.
const char* const kCamera = QT_TRANSLATE_NOOP("MetadataPanel", "Camera");
const char* const kModel = QT_TRANSLATE_NOOP("MetadataPanel", "Model");
const char* const kDate = QT_TRANSLATE_NOOP("MetadataPanel", "Date");
const char* const kFocalLength = QT_TRANSLATE_NOOP("MetadataPanel", "Focal Length");
const char* const kAperture = QT_TRANSLATE_NOOP("MetadataPanel", "Aperture");
const char* const kShutter = QT_TRANSLATE_NOOP("MetadataPanel", "Shutter");
const char* const kISO = QT_TRANSLATE_NOOP("MetadataPanel", "ISO");
const char* const kLens = QT_TRANSLATE_NOOP("MetadataPanel", "Lens");
const char* const kFileSize = QT_TRANSLATE_NOOP("MetadataPanel", "File Size");
const char* const kDimensions = QT_TRANSLATE_NOOP("MetadataPanel", "Dimensions");
const char* const kBitDepth = QT_TRANSLATE_NOOP("MetadataPanel", "Bit Depth");
const char* const kColorModel = QT_TRANSLATE_NOOP("MetadataPanel", "Color Model");
const char* const kGPS = QT_TRANSLATE_NOOP("MetadataPanel", "GPS");

QString label(const char* text)
{
    return QCoreApplication::translate("MetadataPanel", text);
}

// Truncation toward zero, when the result fits a signed 64-bit integer.
std::optional<qint64> truncated(double value)
{
    constexpr double kLimit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(value) || value >= kLimit || value < -kLimit)
        return std::nullopt;
    return qint64(std::trunc(value));
}

void appendTiffRows(const TiffProperties& tiff, MetadataRows& rows)
{
    if (tiff.make)
        rows.append({label(kCamera), *tiff.make});
    if (tiff.model)
        rows.append({label(kModel), *tiff.model});
}

void appendExifRows(const ExifProperties& exif, MetadataRows& rows)
{
    if (exif.dateTimeOriginal)
        rows.append({label(kDate), *exif.dateTimeOriginal});
    if (exif.focalLength) {
        if (const std::optional<qint64> mm = truncated(*exif.focalLength))
            rows.append({label(kFocalLength), QString::number(*mm) + QStringLiteral("mm")});
    }
    if (exif.fNumber)
        rows.append({label(kAperture), QString::asprintf("f/%.1f", *exif.fNumber)});
    if (exif.exposureTime) {
        if (const std::optional<QString> shutter = formatShutter(*exif.exposureTime))
            rows.append({label(kShutter), *shutter});
    }
    if (exif.isoSpeedRatings && !exif.isoSpeedRatings->isEmpty())
        rows.append({label(kISO), QString::number(exif.isoSpeedRatings->first())});
    if (exif.lensModel)
        rows.append({label(kLens), *exif.lensModel});
}

} // namespace

QString formatFileSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}

std::optional<QString> formatShutter(double seconds)
{
    if (seconds >= 1.0)
        return QString::asprintf("%.1fs", seconds);
    const std::optional<qint64> denominator = truncated(1.0 / seconds);
    if (!denominator)
        return std::nullopt;
    return QStringLiteral("1/%1s").arg(*denominator);
}

QString formatPosition(double latitude, const QString& latitudeRef, double longitude,
                       const QString& longitudeRef)
{
    if (latitudeRef == QLatin1String("S"))
        latitude = -latitude;
    if (longitudeRef == QLatin1String("W"))
        longitude = -longitude;
    return QString::asprintf("%.6f, %.6f", latitude, longitude);
}

MetadataRows metadataRows(std::optional<qint64> fileSize,
                          const std::optional<ImageProperties>& properties)
{
    MetadataRows rows;
    if (fileSize)
        rows.append({label(kFileSize), formatFileSize(*fileSize)});
    if (!properties)
        return rows;
    if (properties->pixelWidth && properties->pixelHeight) {
        rows.append({label(kDimensions), QStringLiteral("%1 \u00D7 %2")
                                             .arg(*properties->pixelWidth)
                                             .arg(*properties->pixelHeight)});
    }
    if (properties->depth)
        rows.append(
            {label(kBitDepth),
             QCoreApplication::translate("MetadataPanel", "%1 bits").arg(*properties->depth)});
    if (properties->colorModel)
        rows.append({label(kColorModel), *properties->colorModel});
    if (properties->tiff)
        appendTiffRows(*properties->tiff, rows);
    if (properties->exif)
        appendExifRows(*properties->exif, rows);
    if (const auto& gps = properties->gps;
        gps && gps->latitude && gps->latitudeRef && gps->longitude && gps->longitudeRef) {
        rows.append({label(kGPS), formatPosition(*gps->latitude, *gps->latitudeRef, *gps->longitude,
                                                 *gps->longitudeRef)});
    }
    return rows;
}

MetadataRows extractMetadata(const QString& path)
{
    const QFileInfo info(path);
    std::optional<qint64> fileSize;
    if (info.exists())
        fileSize = info.size();
    return metadataRows(fileSize, readImageProperties(path));
}

} // namespace imaging
