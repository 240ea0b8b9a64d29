#pragma once

#include "imaging/ImageProperties.h"
#include "imaging/MetadataEntry.h"

#include <optional>

// The rows of the metadata panel, built from a file's size and image properties.
namespace imaging {

// The rows in panel order; a row appears only when every value it needs is present.
MetadataRows metadataRows(std::optional<qint64> fileSize,
                          const std::optional<ImageProperties>& properties);

// A byte count in decimal units, e.g. "4.4 MB".
QString formatFileSize(qint64 bytes);

// "2.0s" from one second up, "1/250s" below; nothing where 1/t has no integer value.
std::optional<QString> formatShutter(double seconds);

// "48.858400, -2.294500": S and W (exactly) negate the stored magnitudes.
QString formatPosition(double latitude, const QString& latitudeRef, double longitude,
                       const QString& longitudeRef);

} // namespace imaging
