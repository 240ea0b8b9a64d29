#include "imaging/rotation/OrientationWriter.h"

#include "imaging/metadata/ExifOrientation.h"
#include "imaging/metadata/Exiv2Support.h"
#include "imaging/TypeTable.h"
#include "imaging/metadata/JpegMarkers.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/decoders/RawDecoder.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace imaging {

namespace {

using detail::TiffDirectory;
using detail::TiffEntry;
using detail::TiffStructure;
using detail::TiffType;

constexpr quint16 kXmpTag = 700;
// Larger XMP packets carry previews; they are left as they are.
constexpr qint64 kMaxXmpBytes = 1 << 20;

bool writesOrientation(ImageType type)
{
    return detail::typeRow(type).rotation == detail::RotationWrite::OrientationValue;
}

// Its orientation lives in a JPEG's Exif segment rather than in the file's own structure.
bool inJpegExif(ImageType type)
{
    return detail::typeRow(type).orientation == detail::OrientationSource::JpegExif;
}

// Copies straight into destination. QFile::copy would first write a visible "qt_temp.*" file
// beside it, which a cut-off run leaves in the user's folder.
bool copyFile(const QString& source, const QString& destination)
{
    QFile in(source), out(destination);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return false;
    constexpr qint64 kChunk = 1 << 20;
    bool ok = true;
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(kChunk);
        ok = !chunk.isEmpty() && out.write(chunk) == chunk.size();
    }
    out.close();
    if (ok && out.error() == QFileDevice::NoError)
        return true;
    QFile::remove(destination);
    return false;
}

QByteArray endian(quint32 value, int bytes, bool little)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[little ? i : bytes - 1 - i] = char(value >> (8 * i));
    return out;
}

bool writeAt(QFile& file, qint64 at, const QByteArray& bytes)
{
    return file.seek(at) && file.write(bytes) == bytes.size();
}

// The orientation in an XMP packet between from and from + length, written as a digit
// (tiff:Orientation="6" or <tiff:Orientation>6</tiff:Orientation>), changed in place.
bool patchXmp(QFile& file, qint64 from, qint64 length, int orientation)
{
    if (length <= 0 || length > kMaxXmpBytes || !file.seek(from))
        return true;
    const QByteArray packet = file.read(length);
    static const QByteArray kName("tiff:Orientation");
    for (qsizetype at = packet.indexOf(kName); at >= 0; at = packet.indexOf(kName, at + 1)) {
        qsizetype digit = at + kName.size();
        if (packet.mid(digit, 2) == "=\"" || packet.mid(digit, 2) == "='")
            digit += 2;
        else if (packet.mid(digit, 1) == ">")
            digit += 1;
        else
            continue;
        if (digit < packet.size() && packet[digit] >= '1' && packet[digit] <= '8')
            return writeAt(file, from + digit, QByteArray(1, char('0' + orientation)));
    }
    return true;
}

bool patchJpegXmp(QFile& file, int orientation)
{
    static const QByteArray kXmp("http://ns.adobe.com/xap/1.0/\0", 29);
    for (const detail::JpegSegment& segment : detail::jpegSegments(file)) {
        if (segment.code == 0xE1 && file.seek(segment.dataAt) && file.read(29) == kXmp)
            return patchXmp(file, segment.dataAt + 29, segment.length - 29, orientation);
    }
    return true;
}

bool patchTiffXmp(QFile& file, const TiffStructure& tiff, const TiffDirectory& first,
                  int orientation)
{
    const QList<TiffEntry> xmp = entriesWithTag(first, kXmpTag);
    if (xmp.size() != 1 || xmp.first().count <= 4)
        return true;
    return patchXmp(file, tiff.base() + xmp.first().field, xmp.first().count, orientation);
}

// A copy of the first directory, with one sound orientation entry in place of any there were,
// appended at the end of the file; the header then points to it. The old directory stays
// where it was, unreferenced, and every value it points to is shared by the copy.
bool appendFirstDirectory(QFile& file, const TiffStructure& tiff, const TiffDirectory& first,
                          int orientation)
{
    QList<TiffEntry> entries;
    for (const TiffEntry& entry : first.entries) {
        if (entry.tag != detail::kOrientationTag)
            entries.append(entry);
    }
    const bool little = tiff.littleEndian();
    const quint32 value = little ? quint32(orientation) : quint32(orientation) << 16;
    entries.append({detail::kOrientationTag, quint16(TiffType::Short), 1, value, 0});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const TiffEntry& a, const TiffEntry& b) { return a.tag < b.tag; });
    QByteArray directory = endian(quint32(entries.size()), 2, little);
    for (const TiffEntry& entry : entries) {
        directory += endian(entry.tag, 2, little) + endian(entry.type, 2, little) +
                     endian(entry.count, 4, little) + endian(entry.field, 4, little);
    }
    directory += endian(first.next, 4, little);
    // Directories start on a word boundary.
    const qint64 end = file.size();
    const qint64 at = end + (end - tiff.base()) % 2;
    const qint64 offset = at - tiff.base();
    if (entries.size() > 0xFFFF || offset > 0xFFFFFFFFll)
        return false;
    return writeAt(file, end, QByteArray(int(at - end), '\0') + directory) &&
           writeAt(file, tiff.base() + 4, endian(quint32(offset), 4, little));
}

// exiv2 for a JPEG whose Exif block has no sound entry to change, or no Exif block at all.
bool setOrientationWithExiv2(const QString& path, int orientation)
{
    const detail::MetadataImage image = detail::openMetadata(path);
    if (!image)
        return false;
    return detail::guarded([&] {
        image->exifData()["Exif.Image.Orientation"] = uint16_t(orientation);
        Exiv2::XmpData& xmp = image->xmpData();
        const auto it = xmp.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
        if (it != xmp.end())
            it->setValue(std::to_string(orientation));
        image->writeMetadata();
        return true;
    });
}

bool setOrientation(const QString& path, ImageType type, int orientation)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return false;
    const qint64 base = detail::exifStructureOffset(file, type);
    std::optional<TiffStructure> tiff;
    std::optional<TiffDirectory> first;
    if (base >= 0 && (tiff = TiffStructure::open(file, base)))
        first = tiff->firstDirectory();
    const QList<TiffEntry> found =
        first ? entriesWithTag(*first, detail::kOrientationTag) : QList<TiffEntry>();
    const bool sound = found.size() == 1 &&
                       detail::orientationValue(found.first().type, found.first().count, 1);
    if (sound) {
        const TiffEntry& entry = found.first();
        const int width = entry.type == quint16(TiffType::Byte)    ? 1
                          : entry.type == quint16(TiffType::Short) ? 2
                                                                   : 4;
        const bool patched =
            writeAt(file, entry.at + 8, endian(quint32(orientation), width, tiff->littleEndian()));
        return patched &&
               (inJpegExif(type) ? patchJpegXmp(file, orientation)
                                        : patchTiffXmp(file, *tiff, *first, orientation)) &&
               file.flush();
    }
    if (!inJpegExif(type)) {
        return first && appendFirstDirectory(file, *tiff, *first, orientation) &&
               patchTiffXmp(file, *tiff, *first, orientation) && file.flush();
    }
    file.close();
    return setOrientationWithExiv2(path, orientation);
}

} // namespace

int shownOrientation(const QString& path)
{
    const ImageType type = detectImageType(path);
    const detail::FoundOrientation stored = detail::storedOrientation(path, type);
    if (stored.present || !isRawType(type))
        return stored.shown();
    // A raw file without an entry of its own is turned as LibRaw finds it.
    const std::optional<detail::RawInfo> raw = detail::readRawInfo(path);
    return raw ? raw->orientation : 1;
}

bool writeRotatedOrientation(const QString& source, const QString& destination, int quarterTurns)
{
    const ImageType type = detectImageType(source);
    if (!writesOrientation(type) || QFileInfo::exists(destination))
        return false;
    {
        // The content must be what the type says before any writer looks at it: a raw
        // extension on something that is not TIFF is refused here.
        QFile file(source);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        if (inJpegExif(type) ? sniffImageType(file.read(4)) != type : !TiffStructure::open(file))
            return false;
    }
    const int current = shownOrientation(source);
    const int turned = rotatedOrientation(current, quarterTurns);
    if (turned == current || !copyFile(source, destination))
        return false;
    if (setOrientation(destination, type, turned))
        return true;
    QFile::remove(destination);
    return false;
}

} // namespace imaging
