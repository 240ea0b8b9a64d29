#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/support/DecodeSupport.h"

#include <optional>

namespace imaging::detail {

// JPEG through libjpeg-turbo, decoded straight into the pixels of the image it returns (24-bit
// RGB, or 8-bit grey for grey files) with no conversion pass; reduced while decoding (DCT
// scaling by 1/2, 1/4 or 1/8) when the options allow it, turned upright by the Exif orientation
// as it is written, and brought to sRGB from an embedded ICC profile. The size budget is checked
// from the header, before any pixel is allocated, and a file whose data ends early is refused.
// Files it leaves to Qt (CMYK and YCCK, unreadable headers) set *handled to false.
std::optional<QImage> decodeJpeg(const QString& path, const DecodeOptions& options, bool* handled);

// A JPEG file by this decoder, or by Qt's where this one leaves it; the type table's entry.
std::optional<QImage> decodeJpegFile(const QString& path, ImageType type,
                                     const DecodeOptions& options);

// The same for a JPEG held in memory (a camera's preview inside a raw file). Nothing is left to
// Qt: what this decoder does not read gives nothing.
std::optional<QImage> decodeJpegData(const QByteArray& data, const DecodeOptions& options);

} // namespace imaging::detail
