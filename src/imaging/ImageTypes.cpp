#include "imaging/ImageTypes.h"

#include "imaging/TypeTable.h"
#include "imaging/support/ByteReading.h"

#include <QFile>
#include <QFileInfo>

namespace imaging {

namespace {

using detail::typeRow;
using detail::typeRows;

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
    const QByteArray ext = extension.toLower().toLatin1();
    for (const detail::TypeRow& row : typeRows()) {
        for (const char* name : row.extensions) {
            if (name && ext == name)
                return row.type;
        }
    }
    return ImageType::Unknown;
}

QStringList supportedExtensions()
{
    QStringList extensions;
    for (const detail::TypeRow& row : typeRows()) {
        for (const char* name : row.extensions) {
            if (name)
                extensions.append(QString::fromLatin1(name));
        }
    }
    return extensions;
}

ImageType sniffImageType(const QByteArray& head)
{
    for (const detail::TypeRow& row : typeRows()) {
        if (row.sniff && row.sniff(head))
            return row.type;
    }
    return ImageType::Unknown;
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
        // A raw file is a TIFF container told apart by its name or its DNG marker.
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
    return typeRow(type).family;
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
    return QString::fromLatin1(typeRow(type).mime);
}

QByteArray qtFormat(ImageType type)
{
    return QByteArray(typeRow(type).qtFormat);
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
    return typeRow(type).rotation == detail::RotationWrite::Pixels;
}

} // namespace imaging
