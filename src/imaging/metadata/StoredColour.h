#pragma once

#include "imaging/ImageTypes.h"

#include <QIODevice>
#include <QString>

#include <exiv2/exiv2.hpp>

#include <optional>

namespace imaging::detail {

// The colour model and bits per component as the file's own header states them. Qt's
// readers announce the format they convert to instead: a one-bit palette as monochrome, a
// CMYK JPEG or TIFF as RGB.
struct StoredColour {
    qint64 depth = 0;
    QString model;
};

// From the header of a PNG, JPEG or BMP file; nothing for other types or a damaged header.
// Indexed colour is an RGB model with 8-bit samples (the palette's), whatever the index width.
std::optional<StoredColour> readStoredColour(const QString& path, ImageType type);

// The readers of each type, for the type table; the device is read from its start.
std::optional<StoredColour> pngColour(QIODevice& device);
std::optional<StoredColour> jpegColour(QIODevice& device);
std::optional<StoredColour> bmpColour(QIODevice& device);

// From a TIFF file's first directory, as exiv2 read it.
std::optional<StoredColour> tiffStoredColour(const Exiv2::ExifData& exif);

} // namespace imaging::detail
