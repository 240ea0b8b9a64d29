#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/decoders/FrameSource.h"
#include "imaging/support/DecodeSupport.h"

#include <QByteArray>
#include <QIODevice>

#include <array>
#include <optional>
#include <span>

namespace imaging {
struct ImageProperties;
}

// Everything the image service knows of each type, in one table: a new format is a decoder in
// imaging/decoders and one row here.
namespace imaging::detail {

struct StoredColour;

// Where a type keeps the orientation value its pictures are shown with.
enum class OrientationSource {
    None,     // none, or one its decoder applies itself (HEIF's boxes, a JPEG XL codestream)
    TiffFile, // the first directory of the file, which is a TIFF structure
    JpegExif, // the first directory of the Exif segment
    Exiv2,    // an Exif block that exiv2 finds (PNG's eXIf, WebP's EXIF, a PSD resource)
};

// What a rotation can do to a file of the type.
enum class RotationWrite { None, OrientationValue, Pixels };

// exiv2's readers, by what they read; None where exiv2 is not asked.
enum class MetadataReader { None, Jpeg, Png, Gif, Bmp, Webp, Psd, TiffFamily };

using Sniff = bool (*)(const QByteArray& head);
using Decode = std::optional<QImage> (*)(const QString& path, ImageType type,
                                         const DecodeOptions& options);
using ReadHeader = bool (*)(const QString& path, ImageProperties& properties);
using DeviceCheck = bool (*)(QIODevice& device);
using ReadColour = std::optional<StoredColour> (*)(QIODevice& device);

struct TypeRow {
    ImageType type;
    std::array<const char*, 2> extensions; // lower case; null where there is no second
    const char* mime;
    const char* qtFormat; // QImageReader's and QImageWriter's name; "" where Qt is not used
    DecoderFamily family;
    Sniff sniff;             // its content's signature; null when only its name tells
    Decode decode;           // the first image
    ReadHeader readHeader;   // size, depth and colour model, without decoding
    DeviceCheck sound;       // its structure, before any library reads it; null: no check
    DeviceCheck complete;    // whether its first image's data is all there; null: no check
    ReadColour storedColour; // depth and colour model from its own header; null: the reader's
    OrientationSource orientation;
    MetadataReader metadata;
    RotationWrite rotation;
    bool reducedDecode; // a reduced picture comes far sooner than the whole one
    OpenFrames frames;  // its animation's frames; null where the type has none
};

// The rows in the order of ImageType.
std::span<const TypeRow> typeRows();
const TypeRow& typeRow(ImageType type);

} // namespace imaging::detail
