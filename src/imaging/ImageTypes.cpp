#include "imaging/ImageTypes.h"

#include "imaging/support/ByteReading.h"

#include <QFile>
#include <QFileInfo>

#include <array>

namespace imaging {

namespace {

struct TypeRow {
    ImageType type;
    const char* mime;
    const char* qtFormat;
    DecoderFamily family;
    bool pixelWriter;
};

// One row per type; the order of the enumeration.
constexpr std::array<TypeRow, 18> kTypes{{
    {ImageType::Unknown, "", "", DecoderFamily::None, false},
    {ImageType::Jpeg, "image/jpeg", "jpeg", DecoderFamily::Qt, true},
    {ImageType::Png, "image/png", "png", DecoderFamily::Qt, true},
    {ImageType::Gif, "image/gif", "gif", DecoderFamily::Qt, false},
    {ImageType::Bmp, "image/bmp", "bmp", DecoderFamily::Qt, true},
    {ImageType::Tiff, "image/tiff", "tiff", DecoderFamily::Qt, true},
    {ImageType::Webp, "image/webp", "webp", DecoderFamily::Qt, true},
    {ImageType::Ico, "image/vnd.microsoft.icon", "ico", DecoderFamily::Qt, true},
    {ImageType::Heic, "image/heic", "", DecoderFamily::Heif, false},
    {ImageType::Heif, "image/heif", "", DecoderFamily::Heif, false},
    {ImageType::Avif, "image/avif", "", DecoderFamily::Heif, false},
    {ImageType::Psd, "image/vnd.adobe.photoshop", "", DecoderFamily::Psd, false},
    {ImageType::Cr2, "image/x-canon-cr2", "", DecoderFamily::Raw, false},
    {ImageType::Nef, "image/x-nikon-nef", "", DecoderFamily::Raw, false},
    {ImageType::Arw, "image/x-sony-arw", "", DecoderFamily::Raw, false},
    {ImageType::Dng, "image/x-adobe-dng", "", DecoderFamily::Raw, false},
    {ImageType::Orf, "image/x-olympus-orf", "", DecoderFamily::Raw, false},
    {ImageType::Rw2, "image/x-panasonic-rw2", "", DecoderFamily::Raw, false},
}};

const TypeRow& row(ImageType type)
{
    const auto index = static_cast<std::size_t>(type);
    return index < kTypes.size() ? kTypes[index] : kTypes[0];
}

bool startsWith(const QByteArray& head, const char* magic, qsizetype length, qsizetype at = 0)
{
    return head.size() >= at + length && std::memcmp(head.constData() + at, magic, length) == 0;
}

ImageType heifBrand(const QByteArray& brand)
{
    if (brand == "avif" || brand == "avis")
        return ImageType::Avif;
    if (brand == "heic" || brand == "heix" || brand == "heim" || brand == "heis" ||
        brand == "hevc" || brand == "hevx")
        return ImageType::Heic;
    if (brand == "mif1" || brand == "msf1" || brand == "miaf")
        return ImageType::Heif;
    return ImageType::Unknown;
}

// The major brand decides unless it is a generic one, then a compatible brand may be precise.
ImageType sniffFtyp(const QByteArray& head)
{
    if (!startsWith(head, "ftyp", 4, 4) || head.size() < 16)
        return ImageType::Unknown;
    const ImageType major = heifBrand(head.mid(8, 4));
    if (major != ImageType::Heif && major != ImageType::Unknown)
        return major;
    const qsizetype boxEnd = std::min<qsizetype>(readBigEndian32(head, 0), head.size());
    ImageType found = major;
    for (qsizetype at = 16; at + 4 <= boxEnd; at += 4) {
        const ImageType compatible = heifBrand(head.mid(at, 4));
        if (compatible == ImageType::Avif || compatible == ImageType::Heic)
            return compatible;
        if (compatible == ImageType::Heif)
            found = ImageType::Heif;
    }
    return found;
}

// Walks the first IFD of a TIFF container looking for the DNGVersion tag.
bool tiffHasDngVersion(QIODevice& device, bool littleEndian)
{
    constexpr quint16 kDngVersionTag = 50706;
    constexpr int kMaxEntries = 4096;
    const QByteArray header = device.read(8);
    if (header.size() < 8 || !device.seek(readEndian32(header, 4, littleEndian)))
        return false;
    const QByteArray countBytes = device.read(2);
    if (countBytes.size() < 2)
        return false;
    const int count = std::min<int>(readEndian16(countBytes, 0, littleEndian), kMaxEntries);
    const QByteArray entries = device.read(qint64(count) * 12);
    for (qsizetype at = 0; at + 12 <= entries.size(); at += 12) {
        if (readEndian16(entries, at, littleEndian) == kDngVersionTag)
            return true;
    }
    return false;
}

} // namespace

ImageType typeForExtension(const QString& extension)
{
    const QString ext = extension.toLower();
    static const QList<QPair<QString, ImageType>> kExtensions{
        {"jpg", ImageType::Jpeg},  {"jpeg", ImageType::Jpeg}, {"png", ImageType::Png},
        {"gif", ImageType::Gif},   {"bmp", ImageType::Bmp},   {"tif", ImageType::Tiff},
        {"tiff", ImageType::Tiff}, {"webp", ImageType::Webp}, {"ico", ImageType::Ico},
        {"heic", ImageType::Heic}, {"heif", ImageType::Heif}, {"avif", ImageType::Avif},
        {"psd", ImageType::Psd},   {"cr2", ImageType::Cr2},   {"nef", ImageType::Nef},
        {"arw", ImageType::Arw},   {"dng", ImageType::Dng},   {"orf", ImageType::Orf},
        {"rw2", ImageType::Rw2},
    };
    for (const auto& [name, type] : kExtensions) {
        if (name == ext)
            return type;
    }
    return ImageType::Unknown;
}

ImageType sniffImageType(const QByteArray& head)
{
    if (startsWith(head, "\xFF\xD8\xFF", 3))
        return ImageType::Jpeg;
    if (startsWith(head, "\x89PNG\r\n\x1A\n", 8))
        return ImageType::Png;
    if (startsWith(head, "GIF87a", 6) || startsWith(head, "GIF89a", 6))
        return ImageType::Gif;
    if (startsWith(head, "BM", 2) && head.size() >= 14)
        return ImageType::Bmp;
    if (startsWith(head, "RIFF", 4) && startsWith(head, "WEBP", 4, 8))
        return ImageType::Webp;
    if (startsWith(head, "\0\0\1\0", 4) || startsWith(head, "\0\0\2\0", 4))
        return ImageType::Ico;
    if (startsWith(head, "8BPS", 4))
        return ImageType::Psd;
    if (startsWith(head, "IIRO", 4) || startsWith(head, "IIRS", 4) || startsWith(head, "MMOR", 4))
        return ImageType::Orf;
    if (startsWith(head, "IIU\0", 4))
        return ImageType::Rw2;
    if (startsWith(head, "II*\0", 4) || startsWith(head, "MM\0*", 4)) {
        // Canon marks its raw files right after the TIFF header.
        if (startsWith(head, "CR\2", 3, 8))
            return ImageType::Cr2;
        return ImageType::Tiff;
    }
    return sniffFtyp(head);
}

ImageType detectImageType(const QString& path)
{
    const QFileInfo info(path);
    // Regular files only: a FIFO or device named like an image would block or never end.
    if (!info.isFile())
        return ImageType::Unknown;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ImageType::Unknown;
    const QByteArray head = file.read(256);
    const ImageType content = sniffImageType(head);
    const ImageType byName = typeForExtension(info.suffix());
    if (content == ImageType::Tiff) {
        if (isRawType(byName))
            return byName;
        return file.seek(0) && tiffHasDngVersion(file, head.startsWith("II")) ? ImageType::Dng
                                                                              : ImageType::Tiff;
    }
    if (content != ImageType::Unknown)
        return content;
    // Formats without a signature we know: trust the name only where a decoder can judge.
    if (isRawType(byName) || isHeifFamily(byName))
        return byName;
    return ImageType::Unknown;
}

DecoderFamily decoderFor(ImageType type)
{
    return row(type).family;
}

bool isRawType(ImageType type)
{
    return decoderFor(type) == DecoderFamily::Raw;
}

bool isHeifFamily(ImageType type)
{
    return decoderFor(type) == DecoderFamily::Heif;
}

QString mimeType(ImageType type)
{
    return QString::fromLatin1(row(type).mime);
}

QByteArray qtFormat(ImageType type)
{
    return QByteArray(row(type).qtFormat);
}

const QList<ImageType>& losslessRotationTypes()
{
    static const QList<ImageType> kTypes{
        ImageType::Jpeg, ImageType::Heic, ImageType::Heif, ImageType::Tiff, ImageType::Cr2,
        ImageType::Nef,  ImageType::Arw,  ImageType::Dng,  ImageType::Orf,  ImageType::Rw2};
    return kTypes;
}

bool supportsLosslessRotation(ImageType type)
{
    return losslessRotationTypes().contains(type);
}

bool hasPixelWriter(ImageType type)
{
    return row(type).pixelWriter;
}

} // namespace imaging
