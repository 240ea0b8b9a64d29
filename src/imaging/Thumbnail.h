#pragma once

#include <QImage>
#include <QString>

#include <optional>

namespace imaging {

constexpr int kThumbnailMaxPixelSize = 120;

// A thumbnail made from the full image data, never from a preview embedded in the file:
// upright, in sRGB, its longer side at most maxPixelSize (smaller images keep their size).
// JPEG decodes at reduced size through libjpeg's DCT scaling, raw files develop at half size.
// Nothing when the file cannot be decoded. Safe from any thread.
std::optional<QImage> makeThumbnail(const QString& path, int maxPixelSize = kThumbnailMaxPixelSize);

} // namespace imaging
