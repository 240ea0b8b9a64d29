#pragma once

#include "imaging/DecodeSupport.h"
#include "imaging/ImageTypes.h"

#include <optional>

class QImageReader;

namespace imaging::detail {

// JPEG, PNG, GIF (first frame), BMP, TIFF (first page), WebP (first frame) and ICO (largest
// entry) through QImageReader.
std::optional<QImage> decodeWithQt(const QString& path, ImageType type,
                                   const DecodeOptions& options);

// For ICO files, points the reader at the largest entry; the others are left as they are.
void selectLargestImage(QImageReader& reader, ImageType type);

} // namespace imaging::detail
