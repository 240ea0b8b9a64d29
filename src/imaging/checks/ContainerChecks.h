#pragma once

#include "imaging/ImageTypes.h"

#include <QString>

namespace imaging::detail {

// Walks a file's chunks, segments or frames without decoding, before any library sees it.
// False when a declared length runs past the end of the file, when a size some decoder
// would allocate (a GIF screen, a WebP canvas, each frame) is over the pixel budget (then
// remembered as a size refusal), or when the header claims far more pixels than its data
// could encode. Types without such checks pass.
bool containerIsSound(const QString& path, ImageType type);

} // namespace imaging::detail
