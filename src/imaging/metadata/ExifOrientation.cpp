#include "imaging/metadata/ExifOrientation.h"

#include "imaging/TypeTable.h"
#include "imaging/metadata/Exiv2Support.h"
#include "imaging/metadata/JpegMarkers.h"

#include <QBuffer>
#include <QFile>

namespace imaging::detail {

namespace {

const QByteArray kExifSignature("Exif\0\0", 6);

FoundOrientation fromExiv2(const QString& path)
{
    FoundOrientation found;
    const MetadataImage image = openMetadata(path);
    if (!image)
        return found;
    guarded([&] {
        const Exiv2::ExifData& exif = image->exifData();
        const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
        if (it == exif.end())
            return false;
        found.present = true;
        const bool integer = it->typeId() == Exiv2::unsignedByte ||
                             it->typeId() == Exiv2::unsignedShort ||
                             it->typeId() == Exiv2::unsignedLong;
        found.value = orientationValue(quint16(it->typeId()), quint32(it->count()),
                                       integer && it->count() > 0
                                           ? std::optional<quint32>(quint32(it->toLong(0)))
                                           : std::nullopt);
        return true;
    });
    return found;
}

} // namespace

std::optional<int> orientationValue(quint16 type, quint32 count, std::optional<quint32> value)
{
    // A list of values, or another type, says nothing one can rely on: the readers in the wild
    // disagree about it.
    const bool number = type == quint16(TiffType::Byte) || type == quint16(TiffType::Short) ||
                        type == quint16(TiffType::Long);
    if (!number || count != 1 || !value || *value < 1 || *value > 8)
        return std::nullopt;
    return int(*value);
}

std::optional<TiffEntry> orientationEntry(const TiffDirectory& first)
{
    const QList<TiffEntry> found = entriesWithTag(first, kOrientationTag);
    return found.isEmpty() ? std::nullopt : std::optional<TiffEntry>(found.first());
}

FoundOrientation orientationIn(const TiffStructure& tiff)
{
    FoundOrientation found;
    const std::optional<TiffDirectory> first = tiff.firstDirectory();
    if (!first)
        return found;
    if (const std::optional<TiffEntry> entry = orientationEntry(*first)) {
        found.present = true;
        found.value = orientationValue(entry->type, entry->count, tiff.inlineValue(*entry));
    }
    return found;
}

qint64 exifStructureOffset(QIODevice& file, ImageType type)
{
    switch (typeRow(type).orientation) {
    case OrientationSource::JpegExif: {
        const qint64 app1 = findJpegApp(file, 0xE1, kExifSignature);
        return app1 < 0 ? -1 : app1 + kExifSignature.size();
    }
    case OrientationSource::TiffFile:
        return 0;
    default:
        return -1;
    }
}

FoundOrientation storedOrientation(const QString& path, ImageType type)
{
    if (typeRow(type).orientation == OrientationSource::Exiv2)
        return fromExiv2(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const qint64 base = exifStructureOffset(file, type);
    if (base < 0)
        return {};
    const std::optional<TiffStructure> tiff = TiffStructure::open(file, base);
    return tiff ? orientationIn(*tiff) : FoundOrientation{};
}

FoundOrientation orientationInApp1(const QByteArray& app1)
{
    if (!app1.startsWith(kExifSignature))
        return {};
    QBuffer buffer;
    buffer.setData(app1);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    const std::optional<TiffStructure> tiff = TiffStructure::open(buffer, kExifSignature.size());
    return tiff ? orientationIn(*tiff) : FoundOrientation{};
}

} // namespace imaging::detail
