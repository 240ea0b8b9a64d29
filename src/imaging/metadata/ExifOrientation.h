#pragma once

#include "imaging/ImageTypes.h"
#include "imaging/metadata/TiffStructure.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The one reading of a file's orientation value, shared by the decoders, the properties and
// the rotation writer, so that what is shown, what is described and what is rewritten agree.
namespace imaging::detail {

constexpr quint16 kOrientationTag = 0x0112;

struct FoundOrientation {
    // The file holds an orientation entry, sound or not.
    bool present = false;
    // Its value, when the entry holds one number (BYTE, SHORT or LONG) from 1 to 8.
    std::optional<int> value;

    // What the picture is shown with: a missing or unusable value counts as 1.
    int shown() const { return value.value_or(1); }
};

// The rule every reader applies to an orientation entry.
std::optional<int> orientationValue(quint16 type, quint32 count, std::optional<quint32> value);

// The first orientation entry of the structure's first directory.
std::optional<TiffEntry> orientationEntry(const TiffDirectory& first);
FoundOrientation orientationIn(const TiffStructure& tiff);

// Where the TIFF structure holding the orientation starts: 0 for TIFF and the raw types built
// on it, the Exif block's start for a JPEG; -1 for other types or when there is none.
qint64 exifStructureOffset(QIODevice& file, ImageType type);

// The orientation stored in the file, as the decoders apply it, from where its type keeps it
// (the type table's orientation source). A raw file without an entry is turned as LibRaw
// finds it.
FoundOrientation storedOrientation(const QString& path, ImageType type);

// The same for the data of a JPEG's Exif APP1 segment ("Exif\0\0" and a TIFF structure).
FoundOrientation orientationInApp1(const QByteArray& app1);

} // namespace imaging::detail
