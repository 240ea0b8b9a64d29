#pragma once

#include <QImage>
#include <QSize>

namespace imaging {

// A copy of `source` of exactly `size` pixels, area-averaged, in the 32-bit format that is
// drawn fastest (premultiplied when it has alpha). Qt's smooth scaler first converts a 24-bit
// or grey picture to 32-bit at full size, a transient second copy of a whole photo, and then
// is slow on it; such a picture is first averaged over blocks of whole pixels straight into a
// 32-bit image at least as large as `size`, and only that is left to Qt. Only a copy larger
// than half the picture still goes through a full-size 32-bit conversion.
QImage smoothCopy(const QImage& source, const QSize& size);

namespace detail {

// `source` (24-bit RGB or 8-bit grey) averaged over blocks of about `factor` x `factor` pixels,
// every source pixel counted once, into 32-bit RGB. The result is source size / factor,
// rounded down.
QImage blockAverage(const QImage& source, int factor);

} // namespace detail

} // namespace imaging
