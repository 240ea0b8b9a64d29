#include "imaging/metadata/StoredColour.h"

#include "imaging/TypeTable.h"
#include "imaging/support/ByteReading.h"
#include "imaging/metadata/Exiv2Support.h"
#include "imaging/metadata/JpegMarkers.h"

#include <QFile>

namespace imaging::detail {

namespace {

const QString kRgb = QStringLiteral("RGB");
const QString kGray = QStringLiteral("Gray");
const QString kCmyk = QStringLiteral("CMYK");

} // namespace

std::optional<StoredColour> pngColour(QIODevice& file)
{
    // Signature, then the IHDR chunk: width, height, bit depth, colour type.
    const QByteArray head = file.read(26);
    if (head.size() < 26 || !head.startsWith("\x89PNG\r\n\x1a\n") || head.mid(12, 4) != "IHDR")
        return std::nullopt;
    const qint64 depth = readByte(head, 24);
    if (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16)
        return std::nullopt;
    switch (readByte(head, 25)) {
    case 0: // grey
    case 4: // grey and alpha
        return StoredColour{depth, kGray};
    case 2: // RGB
    case 6: // RGB and alpha
        return StoredColour{depth, kRgb};
    case 3: // palette
        return StoredColour{8, kRgb};
    default:
        return std::nullopt;
    }
}

std::optional<StoredColour> jpegColour(QIODevice& file)
{
    // Start of frame: every SOFn but the DHT, JPG and DAC codes that share the range.
    const qint64 frame = findJpegMarker(file, [](quint8 code) {
        return code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
    });
    if (frame < 0 || !file.seek(frame))
        return std::nullopt;
    // Marker, length, precision, height, width, component count.
    const QByteArray header = file.read(10);
    if (header.size() < 10)
        return std::nullopt;
    const qint64 precision = readByte(header, 4);
    switch (readByte(header, 9)) {
    case 1:
        return StoredColour{precision, kGray};
    case 3:
        return StoredColour{precision, kRgb};
    case 4: // CMYK, or YCCK that decodes to CMYK
        return StoredColour{precision, kCmyk};
    default:
        return std::nullopt;
    }
}

std::optional<StoredColour> bmpColour(QIODevice& file)
{
    const QByteArray header = file.read(30);
    if (header.size() < 26 || !header.startsWith("BM"))
        return std::nullopt;
    const bool core = readEndian32(header, 14, true) == 12;
    const quint32 bitsPerPixel = readEndian16(header, core ? 24 : 28, true);
    // Deeper files are read as Qt announces them.
    if (bitsPerPixel == 0 || bitsPerPixel > 8)
        return std::nullopt;
    return StoredColour{8, kRgb};
}

std::optional<StoredColour> readStoredColour(const QString& path, ImageType type)
{
    const ReadColour read = typeRow(type).storedColour;
    if (!read)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return read(file);
}

std::optional<StoredColour> tiffStoredColour(const Exiv2::ExifData& exif)
{
    const std::optional<qint64> photometric =
        integerTag(exif, "Exif.Image.PhotometricInterpretation");
    const qint64 bits = integerTag(exif, "Exif.Image.BitsPerSample").value_or(1);
    if (!photometric || bits < 1 || bits > 64)
        return std::nullopt;
    switch (*photometric) {
    case 0: // white is zero
    case 1: // black is zero
        return StoredColour{bits, kGray};
    case 2: // RGB
    case 6: // YCbCr
        return StoredColour{bits, kRgb};
    case 3: // palette
        return StoredColour{8, kRgb};
    case 5: // separated, four inks
        return StoredColour{bits, kCmyk};
    case 8: // CIE L*a*b*, and its ICC and ITU variants
    case 9:
    case 10:
        return StoredColour{bits, QStringLiteral("Lab")};
    default:
        return std::nullopt;
    }
}

} // namespace imaging::detail
