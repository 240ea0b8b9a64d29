#pragma once

#include <QString>

// Rewrites of the orientation property alone: the compressed image data is copied, never
// decoded, so JPEG scans and TIFF/DNG strips stay byte for byte as they were.
namespace imaging {

// Copies source to destination (which must not exist yet) and sets the copy's
// Exif.Image.Orientation (and an XMP tiff:Orientation, if present) to orientation.
// Only for types in losslessRotationTypes() that exiv2 can write: JPEG, TIFF, CR2, NEF, ARW,
// DNG and ORF. HEIC/HEIF/AVIF and RW2 fail. On failure no destination file is left behind.
bool writeOrientation(const QString& source, const QString& destination, int orientation);

// Reads the source's orientation (1 when absent or invalid) and writes the value it takes after the
// given signed number of clockwise quarter turns.
bool writeRotatedOrientation(const QString& source, const QString& destination, int quarterTurns);

} // namespace imaging
