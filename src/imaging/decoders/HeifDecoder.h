#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/support/DecodeSupport.h"

#include <optional>

namespace imaging::detail {

// What the container says about its primary image, without decoding it. The size is the
// size as shown: libheif applies the file's rotation, mirroring and cropping.
struct HeifInfo {
    int width = 0;
    int height = 0;
    int bitDepth = 8;
    bool hasAlpha = false;
    // The primary image's Exif data from its TIFF header on; empty when there is none.
    QByteArray exif;
};

std::optional<HeifInfo> readHeifInfo(const QString& path);

// The primary image of a HEIC, HEIF or AVIF file, as 8-bit RGB(A). libheif applies the
// container's own transformations (never the Exif orientation) unless options.upright is
// false. The colour profile (ICC, or nclx primaries and transfer) is attached, and the
// pixels converted for the screen when options.forScreen; an HDR picture (nclx transfer PQ
// or HLG) is then decoded at full depth and tone-mapped (HeifColour.h). Where the file carries a thumbnail of the
// primary image large enough for options.boundingSize or options.bounds (of any size when
// options.standIn), that is decoded instead, and options.fullSize receives the picture's size.
std::optional<QImage> decodeHeif(const QString& path, ImageType type, const DecodeOptions& options);

} // namespace imaging::detail
