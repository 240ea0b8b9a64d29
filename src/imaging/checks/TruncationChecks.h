#pragma once

#include "imaging/ImageTypes.h"

#include <QIODevice>
#include <QString>

namespace imaging::detail {

// Qt hands back a partly grey picture for a JPEG, GIF or BMP cut short. These checks look
// at the file's structure, without decoding, to tell whether the first image's data is
// all there; for other types (whose decoders fail on their own) they answer true.
bool looksComplete(const QString& path, ImageType type);

// The checks of each type, for the type table; the device is read from its start.
bool jpegIsComplete(QIODevice& device);
bool gifFirstFrameIsComplete(QIODevice& device);
bool bmpIsComplete(QIODevice& device);

} // namespace imaging::detail
