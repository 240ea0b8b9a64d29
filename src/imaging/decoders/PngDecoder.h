#pragma once

#include "imaging/decoders/FrameSource.h"
#include "imaging/support/DecodeSupport.h"

#include <optional>

namespace imaging::detail {

// The picture a PNG shows: Qt's reader gives its default image, except for an animated PNG
// whose default image is not one of its frames (kept for readers that know no animation),
// which shows its first frame.
std::optional<QImage> decodePngFile(const QString& path, ImageType type,
                                    const DecodeOptions& options);

// The frames of an animated PNG (ApngDecoder); null for a still or damaged one, which shows
// as its default image, and where Qt may not read the file at all.
std::unique_ptr<FrameSource> openPngFrames(const QString& path, ImageType type);

} // namespace imaging::detail
