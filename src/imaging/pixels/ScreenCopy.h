#pragma once

#include <QImage>
#include <QSize>

namespace imaging {

// A copy of `source` of exactly `size` pixels, area-averaged, in the 32-bit format that is
// drawn fastest (premultiplied when it has alpha). Qt's smooth scaler first converts a 24-bit
// or grey picture to 32-bit at full size, a transient second copy of a whole photo, and then
// is slow on it; such a picture is averaged over blocks of whole pixels straight into a 32-bit
// image of `size` (or, past blocks of 64 pixels, one at least as large, left to Qt). Only a copy
// larger than half the picture still goes through a full-size 32-bit conversion.
QImage smoothCopy(const QImage& source, const QSize& size);

namespace detail {

// `source` (24-bit RGB or 8-bit grey) averaged over blocks of about `factor` x `factor` pixels,
// every source pixel counted once, into 32-bit RGB. The result is source size / factor,
// rounded down.
QImage blockAverage(const QImage& source, int factor);
// The same over blocks of one or two sizes that spread `source` over exactly `size` pixels: null
// when `size` is larger than `source` or a block would be wider or taller than 65 pixels.
QImage blockAverage(const QImage& source, const QSize& size);

} // namespace detail

} // namespace imaging
