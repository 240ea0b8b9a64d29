#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/support/DecodeSupport.h"

#include <optional>

namespace imaging::detail {

// What LibRaw reads from a camera raw file's header: the developed size before the
// orientation is applied, the orientation as an Exif value and the sensor's bit depth.
struct RawInfo {
    int width = 0;
    int height = 0;
    int orientation = 1;
    int bitDepth = 16;
};

std::optional<RawInfo> readRawInfo(const QString& path);

// Whether LibRaw takes the file for a raw file at all (a TIFF named .nef is not one).
bool isRecognisedRaw(const QString& path);

// Develops the raw data: camera white balance, the camera's matrix to sRGB primaries, the
// sRGB tone curve, 8 bits per channel, tagged sRGB. Upright unless options.upright is
// false. A positive options.boundingSize develops at half size, unless a preview the camera
// stored is enough (see DecodeOptions::carriedCopies).
// Truncated or damaged raw data gives nothing rather than a half-grey picture.
std::optional<QImage> decodeRaw(const QString& path, const DecodeOptions& options);

// The type table's entry: a plain TIFF that merely carries a raw extension is read as TIFF.
std::optional<QImage> decodeRawFile(const QString& path, ImageType type,
                                    const DecodeOptions& options);

} // namespace imaging::detail
