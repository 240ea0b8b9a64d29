#pragma once

#include "imaging/ImageTypes.h"

#include <QIODevice>
#include <QString>

namespace imaging::detail {

// Walks a file's chunks, segments or frames without decoding, before any library sees it.
// False when a declared length runs past the end of the file, when a size some decoder
// would allocate (a GIF screen, a WebP canvas, each frame) is over the pixel budget (then
// remembered as a size refusal), or when the header claims far more pixels than its data
// could encode. Types without such checks pass.
bool containerIsSound(const QString& path, ImageType type);

// The checks of each type, for the type table; the device is read from its start.
bool pngIsSound(QIODevice& device);
bool jpegIsSound(QIODevice& device);
bool gifIsSound(QIODevice& device);
bool webpIsSound(QIODevice& device);
bool bmpIsSound(QIODevice& device);
bool icoIsSound(QIODevice& device);

} // namespace imaging::detail
