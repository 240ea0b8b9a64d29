#pragma once

#include "imaging/ImageTypes.h"

#include <QString>

namespace imaging::detail {

// Qt hands back a partly grey picture for a JPEG, GIF or BMP cut short. These checks look
// at the file's structure, without decoding, to tell whether the first image's data is
// all there; for other types (whose decoders fail on their own) they answer true.
bool looksComplete(const QString& path, ImageType type);

} // namespace imaging::detail
