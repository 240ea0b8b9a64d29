#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/support/DecodeSupport.h"

#include <optional>

namespace imaging::detail {

// The fixed header of a Photoshop document (PSD, or PSB with version 2).
struct PsdHeader {
    int version = 1;
    int channels = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int colorMode = 0;
};

std::optional<PsdHeader> readPsdHeader(const QString& path);

// "RGB", "Gray", "CMYK" or "Lab" for a colour mode; empty for the others.
QString psdColorModel(int colorMode);

// The flattened composite stored after the layers: greyscale, duotone (as grey), indexed,
// RGB or CMYK; 8 or 16 bits; raw or RLE. The first extra channel is transparency when the
// layer count says so. The pixels go from an embedded RGB profile (none: sRGB) into the
// screen's when options.forScreen.
// The orientation is left to the caller.
std::optional<QImage> decodePsd(const QString& path, const DecodeOptions& options);

// The type table's entry: the composite turned upright unless options.upright is false.
std::optional<QImage> decodePsdFile(const QString& path, ImageType type,
                                    const DecodeOptions& options);

} // namespace imaging::detail
