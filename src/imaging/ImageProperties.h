#pragma once

#include "imaging/ImageTypes.h"

#include <QList>
#include <QString>

#include <optional>

namespace imaging {

// Values from the TIFF directory (IFD0) of the file's Exif data.
struct TiffProperties {
    std::optional<QString> make;
    std::optional<QString> model;
};

// Values from the Exif sub-directory.
struct ExifProperties {
    std::optional<QString> dateTimeOriginal;
    std::optional<double> focalLength;
    std::optional<double> fNumber;
    std::optional<double> exposureTime;
    std::optional<QList<qint64>> isoSpeedRatings;
    std::optional<QString> lensModel;
};

// Values from the GPS sub-directory; coordinates are decimal degrees, magnitudes as stored.
struct GpsProperties {
    std::optional<double> latitude;
    std::optional<QString> latitudeRef;
    std::optional<double> longitude;
    std::optional<QString> longitudeRef;
};

// The properties of a file's first image, read from its header and its Exif data. A value
// is present only when the file stores it with a fitting type; a dictionary is present when
// the file has any entry of it.
struct ImageProperties {
    ImageType type = ImageType::Unknown;
    // Size as stored, before the orientation is applied (for HEIF: as libheif shows it).
    std::optional<qint64> pixelWidth;
    std::optional<qint64> pixelHeight;
    // Bits per colour component.
    std::optional<qint64> depth;
    // "RGB", "Gray", "CMYK" or "Lab".
    std::optional<QString> colorModel;
    // The Exif orientation value, 1 to 8 when valid (for JPEG XL the codestream's, which
    // stands in the same place). Absent for HEIF files, whose own transformations the decoder
    // applies instead.
    std::optional<int> orientation;
    std::optional<TiffProperties> tiff;
    std::optional<ExifProperties> exif;
    std::optional<GpsProperties> gps;
};

// Reads the header and metadata of image 0 without decoding pixels. Nothing when the file
// is not an image this service reads. Safe from any thread.
std::optional<ImageProperties> readImageProperties(const QString& path);

} // namespace imaging
