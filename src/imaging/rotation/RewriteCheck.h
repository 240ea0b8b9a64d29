#pragma once

#include "imaging/ImageTypes.h"

#include <QString>

#include <optional>

namespace imaging::detail {

// How many images a file holds: the pages of a TIFF or raw file, the frames of an animation
// (an animated PNG's own count, which Qt reads as one image), the entries of an icon. Nothing
// when that cannot be told.
std::optional<int> imageCount(const QString& path, ImageType type);

// Whether a copy written for a rotation by quarterTurns may take the original's place, read
// back as the decoders read it: the same type and number of images, and then
// - for a changed orientation value (lossless): the value turned as asked, and the stored
//   pixels exactly the original's;
// - for pixels encoded again: the turned size, alpha kept where there was alpha, and no
//   orientation value left.
// A copy that changes nothing is not sound either.
bool rewriteIsSound(const QString& original, const QString& copy, int quarterTurns, bool lossless);

} // namespace imaging::detail
