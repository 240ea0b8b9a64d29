#pragma once

#include "imaging/ImageProperties.h"

#include <QString>

// The size, depth and colour model of a file's first image from its header, by the reader of
// its family; for the type table. False when the header cannot be read.
namespace imaging::detail {

bool readQtHeader(const QString& path, ImageProperties& properties);
// With the Exif block libheif finds, whose orientation is not the picture's.
bool readHeifHeader(const QString& path, ImageProperties& properties);
// A plain TIFF carrying a raw extension is read, and described, as TIFF.
bool readRawHeader(const QString& path, ImageProperties& properties);
bool readPsdHeader(const QString& path, ImageProperties& properties);
// With the codestream's orientation and the Exif box, whose orientation is not the picture's.
bool readJxlHeader(const QString& path, ImageProperties& properties);

} // namespace imaging::detail
