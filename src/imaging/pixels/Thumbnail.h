#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace imaging {

constexpr int kThumbnailMaxPixelSize = 120;

// A thumbnail of the picture: upright, in sRGB (HDR pictures tone-mapped), its longer side at most maxPixelSize (smaller
// images keep their size). JPEG decodes at reduced size through libjpeg's DCT scaling. HEIF and
// raw files give the thumbnail or camera preview they carry when it is large enough and of the
// picture's shape (and, for a picture cheap to decode, looks like it); otherwise HEIF decodes
// whole and raw files develop at half size.
// Nothing when the file cannot be decoded. Safe from any thread.
std::optional<QImage> makeThumbnail(const QString& path, int maxPixelSize = kThumbnailMaxPixelSize);

} // namespace imaging
