#pragma once

#include <QString>

// Rewrites of the orientation value alone: the compressed image data is copied, never decoded,
// so JPEG scans and TIFF/DNG strips stay byte for byte as they were.
namespace imaging {

// Copies source to destination (which must not exist yet) with its orientation value turned by
// a signed number of clockwise quarter turns from the one it is shown with. Only JPEG, TIFF
// and the raw types built on TIFF other than RW2, recognised by their content.
//
// In a TIFF structure (a TIFF or raw file, a JPEG's Exif block) only the value bytes of a
// sound orientation entry change. A TIFF or raw file without one gets a copy of its first
// directory, with the entry, appended at its end, and its header points there; nothing else of
// the file is rewritten. A JPEG without one has its Exif segment written anew by exiv2 (its
// image data is a segment of its own). An XMP copy of the value is changed in place too.
// On failure no destination file is left behind.
bool writeRotatedOrientation(const QString& source, const QString& destination, int quarterTurns);

// The orientation value the file is shown with (1 to 8), as the writer reads it; 1 when none.
int shownOrientation(const QString& path);

} // namespace imaging
