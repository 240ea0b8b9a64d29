#include "imaging/decoders/RawPreview.h"

#include "imaging/support/ByteReading.h"
#include "imaging/decoders/JpegDecoder.h"
#include "imaging/metadata/TiffStructure.h"

#include <QFile>
#include <QSet>

#include <cstring>

namespace imaging::detail {

namespace {

constexpr quint16 kSubIfds = 330;
constexpr int kMaxDirectories = 32;
// Enough of a JPEG's start to hold its frame header behind the usual Exif and tables.
constexpr qint64 kJpegHeadBytes = 1 << 16;

enum Tag : quint16 {
    Width = 256,
    Height = 257,
    BitsPerSample = 258,
    Compression = 259,
    Photometric = 262,
    StripOffsets = 273,
    SamplesPerPixel = 277,
    StripByteCounts = 279,
    PlanarConfig = 284,
    JpegOffset = 513,
    JpegLength = 514,
};

// The single value of a tag that must appear once; nothing when absent, repeated or unreadable.
std::optional<quint32> single(const TiffStructure& tiff, const TiffDirectory& directory,
                              quint16 tag)
{
    const QList<TiffEntry> found = entriesWithTag(directory, tag);
    if (found.size() != 1 || found.first().count != 1)
        return std::nullopt;
    return tiff.inlineValue(found.first());
}

// The size a JPEG's frame header gives, for baseline and progressive streams only: a lossless
// one (a raw file's sensor data) is no preview.
std::optional<QSize> jpegFrameSize(QFile& file, qint64 offset, qint64 length)
{
    if (!file.seek(offset))
        return std::nullopt;
    const QByteArray head = file.read(std::min(length, kJpegHeadBytes));
    if (!head.startsWith("\xFF\xD8"))
        return std::nullopt;
    qsizetype at = 2;
    while (at + 4 <= head.size()) {
        if (quint8(head[at]) != 0xFF)
            return std::nullopt;
        const quint8 code = quint8(head[at + 1]);
        if (code == 0xFF) {
            ++at;
            continue;
        }
        if (code == 0xC0 || code == 0xC1 || code == 0xC2) {
            const QSize size(readBigEndian16(head, at + 7), readBigEndian16(head, at + 5));
            return size.isEmpty() || at + 9 > head.size() ? std::nullopt : std::optional(size);
        }
        if ((code >= 0xC3 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC) ||
            code == 0xDA)
            return std::nullopt;
        at += 2 + readBigEndian16(head, at + 2);
    }
    return std::nullopt;
}

void addJpeg(QFile& file, qint64 offset, qint64 length, QList<RawPreview>& found)
{
    if (offset <= 0 || length <= 4 || offset + length > file.size())
        return;
    if (const std::optional<QSize> size = jpegFrameSize(file, offset, length))
        found.append({offset, length, *size, true});
}

// 8-bit RGB in one strip, every tag the reading depends on present once and the strip's bytes
// within the file.
void addBitmap(QFile& file, const TiffStructure& tiff, const TiffDirectory& directory,
               QList<RawPreview>& found)
{
    const auto width = single(tiff, directory, Width), height = single(tiff, directory, Height);
    const auto offset = single(tiff, directory, StripOffsets);
    const auto bytes = single(tiff, directory, StripByteCounts);
    const auto planar = entriesWithTag(directory, PlanarConfig);
    const QList<TiffEntry> depth = entriesWithTag(directory, BitsPerSample);
    if (!width || !height || !offset || !bytes || depth.size() != 1 ||
        tiff.values(depth.first()) != QList<quint32>{8, 8, 8} ||
        single(tiff, directory, SamplesPerPixel) != 3u || planar.size() > 1 ||
        (planar.size() == 1 && tiff.inlineValue(planar.first()) != 1u) ||
        !withinPixelBudget(*width, *height))
        return;
    const qint64 needed = qint64(*width) * *height * 3;
    if (*bytes < needed || qint64(*offset) + needed > file.size())
        return;
    found.append({qint64(*offset), needed, QSize(int(*width), int(*height)), false});
}

void addPreviews(QFile& file, const TiffStructure& tiff, const TiffDirectory& directory,
                 QList<RawPreview>& found)
{
    const std::optional<quint32> photometric = single(tiff, directory, Photometric);
    // Sensor data (colour filter array, linear raw) is never a preview.
    if (photometric == 32803u || photometric == 34892u)
        return;
    const auto jpegOffset = single(tiff, directory, JpegOffset);
    const auto jpegLength = single(tiff, directory, JpegLength);
    if (jpegOffset && jpegLength)
        addJpeg(file, *jpegOffset, *jpegLength, found);
    const std::optional<quint32> compression = single(tiff, directory, Compression);
    if (compression == 6u || compression == 7u) {
        const auto offset = single(tiff, directory, StripOffsets);
        const auto bytes = single(tiff, directory, StripByteCounts);
        if (offset && bytes)
            addJpeg(file, *offset, *bytes, found);
    } else if (compression == 1u && photometric == 2u) {
        addBitmap(file, tiff, directory, found);
    }
}

} // namespace

QList<RawPreview> findRawPreviews(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const std::optional<TiffStructure> tiff = TiffStructure::open(file);
    if (!tiff)
        return {};
    QList<RawPreview> found;
    // The chain of directories and the directories each points to, breadth first.
    QList<quint32> pending{tiff->firstOffset()};
    QSet<quint32> seen;
    while (!pending.isEmpty() && seen.size() < kMaxDirectories) {
        const quint32 offset = pending.takeFirst();
        if (offset == 0 || seen.contains(offset))
            continue;
        seen.insert(offset);
        const std::optional<TiffDirectory> directory = tiff->directory(offset);
        if (!directory)
            continue;
        addPreviews(file, *tiff, *directory, found);
        pending.append(directory->next);
        for (const TiffEntry& entry : entriesWithTag(*directory, kSubIfds))
            pending.append(tiff->values(entry, kMaxDirectories));
    }
    return found;
}

std::optional<QImage> readRawPreview(const QString& path, const RawPreview& preview,
                                     const DecodeOptions& options)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(preview.offset))
        return std::nullopt;
    const QByteArray bytes = readExactly(file, preview.length);
    if (bytes.isEmpty())
        return std::nullopt;
    if (preview.jpeg) {
        DecodeOptions reduced = options;
        reduced.upright = false;
        reduced.fullSize = nullptr;
        // Its own Exif orientation, if any, is not the raw file's.
        return decodeJpegData(bytes, reduced);
    }
    QImage image(preview.size, QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    const qsizetype rowBytes = qsizetype(preview.size.width()) * 3;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(image.scanLine(y), bytes.constData() + y * rowBytes, size_t(rowBytes));
    return image;
}

} // namespace imaging::detail
