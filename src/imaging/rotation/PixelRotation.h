#pragma once

#include <QImage>
#include <QString>

// The rotation path for types whose files cannot be rotated by their orientation property:
// decode, turn the pixels, encode again.
namespace imaging {

// The image turned clockwise by quarterTurns (1 to 3), exactly, or a null image for any
// other count. An opaque image comes back without an alpha channel and one with alpha keeps
// it unpremultiplied; grey and indexed images keep their format and 16-bit images their depth.
QImage rotatePixels(const QImage& image, int quarterTurns);

// Decodes the source as shown (its own orientation applied, colours as stored), turns it by
// a signed number of clockwise quarter turns, encodes it with QImageWriter into destination
// (which must not exist yet) in the source's type, and carries the Exif, XMP and IPTC data
// over without the orientation or the stale thumbnail. Fails for types without a writer
// (GIF, PSD, AVIF, HEIF, raw), for files holding several images (animations, an animated PNG
// included, icon sets), for BMP with alpha (Qt's writer drops it),
// for a turn count that is a multiple of 4, and whenever metadata could not be carried.
// On failure no destination file is left behind.
bool writeRotatedPixels(const QString& source, const QString& destination, int quarterTurns);

} // namespace imaging
