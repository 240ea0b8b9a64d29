#pragma once

#include <QImage>
#include <QString>

namespace bench {

// A DNG as a camera writes one: the photo's pixels as an RGGB mosaic of 12-bit samples, and
// beside them a 1620 x 1080 JPEG preview of the same photo.
bool writeCameraDng(const QString& path, const QImage& photo);

} // namespace bench
