#pragma once

#include "imaging/ImageProperties.h"

#include <exiv2/exiv2.hpp>

namespace imaging::detail {

// Fills the TIFF, Exif and GPS dictionaries from exiv2's Exif data, keeping only values
// whose stored type fits: text from ASCII, doubles from finite numbers and rationals,
// integer lists from integer types.
void readExifDictionaries(const Exiv2::ExifData& exif, ImageProperties& properties);

} // namespace imaging::detail
