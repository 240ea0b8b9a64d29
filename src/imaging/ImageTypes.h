#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

namespace imaging {

// What a file holds, decided from its content first and its extension second.
enum class ImageType {
    Unknown,
    Jpeg,
    Png,
    Gif,
    Bmp,
    Tiff,
    Webp,
    Ico,
    Heic,
    Heif,
    Avif,
    Psd,
    Cr2,
    Nef,
    Arw,
    Dng,
    Orf,
    Rw2,
    Jxl,
};

// Which decoder reads a type.
enum class DecoderFamily { None, Qt, Heif, Raw, Psd, Jxl };

// The type a lower-case or mixed-case extension (without the dot) names; Unknown otherwise.
ImageType typeForExtension(const QString& extension);

// Every extension a type is named with, lower case and without the dot.
QStringList supportedExtensions();

// The type the first bytes of a file announce. TIFF containers come back as Tiff unless the
// header alone proves a raw format; detectImageType looks further.
ImageType sniffImageType(const QByteArray& head);

// The type of a file: its signature wins over its name, so a PNG named .jpg is a PNG, while a
// raw file (a TIFF container) is told apart by its extension or its DNG/CR2 markers.
// Unknown for anything that is not a regular, readable file of a known type.
ImageType detectImageType(const QString& path);

DecoderFamily decoderFor(ImageType type);
bool isRawType(ImageType type);
bool isHeifFamily(ImageType type);

// MIME name, e.g. "image/jpeg"; empty for Unknown.
QString mimeType(ImageType type);

// The QImageReader/QImageWriter format name, e.g. "jpeg"; empty when Qt does not read the type.
QByteArray qtFormat(ImageType type);

// Types whose files carry an orientation property that can be changed without re-encoding:
// JPEG, HEIC, HEIF, TIFF and the camera raw types, in that order.
const QList<ImageType>& losslessRotationTypes();
bool supportsLosslessRotation(ImageType type);

// Types whose turned bitmap is encoded again by QImageWriter: PNG, BMP, WebP and ICO.
bool hasPixelWriter(ImageType type);

} // namespace imaging
