#pragma once

#include <QImage>

// Exif orientation values (1 to 8) and exact quarter turns of bitmaps.
namespace imaging {

// The orientation value after a signed number of clockwise quarter turns (negative turns
// counter-clockwise). Unmirrored values cycle 1 → 6 → 3 → 8, mirrored ones 2 → 5 → 4 → 7;
// any other value is returned unchanged.
int rotatedOrientation(int orientation, int quarterTurns);

// The image turned clockwise by quarterTurns (taken modulo 4), pixel for pixel, in the same
// pixel format and colour table. Sub-byte formats come back as Indexed8.
QImage turnedClockwise(const QImage& image, int quarterTurns);

// The stored image shown upright for an Exif orientation value; values outside 2 to 8 leave
// it as it is.
QImage orientedImage(const QImage& image, int orientation);

} // namespace imaging
