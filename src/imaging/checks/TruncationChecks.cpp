#include "imaging/checks/TruncationChecks.h"

#include "imaging/TypeTable.h"
#include "imaging/support/ByteReading.h"
#include "imaging/metadata/JpegMarkers.h"

#include <QFile>

#include <cstdlib>
#include <cstring>

namespace imaging::detail {

namespace {

bool skipGifSubBlocks(QIODevice& file)
{
    while (true) {
        char size = 0;
        if (!file.getChar(&size))
            return false;
        if (size == 0)
            return true;
        if (file.pos() + quint8(size) > file.size() || !file.seek(file.pos() + quint8(size)))
            return false;
    }
}

} // namespace

// A JPEG's entropy-coded data ends in an EOI marker; a truncated file has none.
bool jpegIsComplete(QIODevice& file)
{
    const qint64 scan = findJpegMarker(file, [](quint8 code) { return code == 0xDA; });
    if (scan < 0 || !file.seek(scan))
        return false;
    // Inside entropy-coded data a 0xFF is always stuffed or a restart marker, so the first
    // FF D9 after the scan header is the end of the image.
    constexpr qint64 kChunk = 1 << 20;
    bool previousWasFF = false;
    while (true) {
        const QByteArray chunk = file.read(kChunk);
        if (chunk.isEmpty())
            return false;
        const char* data = chunk.constData();
        if (previousWasFF && quint8(data[0]) == 0xD9)
            return true;
        for (const char* p = data;
             (p = static_cast<const char*>(std::memchr(p, 0xFF, chunk.size() - (p - data)))); ++p) {
            if (p + 1 < data + chunk.size() && quint8(p[1]) == 0xD9)
                return true;
        }
        previousWasFF = quint8(chunk.back()) == 0xFF;
    }
}

// Walks to the first image and through its data sub-blocks to their terminator.
bool gifFirstFrameIsComplete(QIODevice& file)
{
    const auto skipColourTable = [&file](quint32 flags) {
        const qint64 size = (flags & 0x80) ? 3 * (qint64(1) << ((flags & 7) + 1)) : 0;
        return file.pos() + size <= file.size() && file.seek(file.pos() + size);
    };
    const QByteArray header = file.read(13);
    if (header.size() < 13 || !skipColourTable(readByte(header, 10)))
        return false;
    constexpr int kMaxExtensions = 65536;
    for (int i = 0; i < kMaxExtensions; ++i) {
        char introducer = 0;
        if (!file.getChar(&introducer))
            return false;
        if (quint8(introducer) == 0x21) {
            if (!file.getChar(&introducer) || !skipGifSubBlocks(file))
                return false;
        } else if (quint8(introducer) == 0x2C) {
            const QByteArray descriptor = file.read(9);
            char minimumCodeSize = 0;
            return descriptor.size() == 9 && skipColourTable(readByte(descriptor, 8)) &&
                   file.getChar(&minimumCodeSize) && skipGifSubBlocks(file);
        } else {
            return false;
        }
    }
    return false;
}

// An uncompressed BMP needs its rows in full; compressed ones are left to Qt. Safe on any
// header: sizes beyond what a BMP can hold are no BMP.
bool bmpIsComplete(QIODevice& file)
{
    const QByteArray header = file.read(54);
    if (header.size() < 26)
        return false;
    const auto le16 = [&header](qsizetype at) { return qint64(readEndian16(header, at, true)); };
    const auto le32 = [&header](qsizetype at) {
        return qint64(qint32(readEndian32(header, at, true)));
    };
    const bool core = le32(14) == 12;
    const qint64 width = std::abs(core ? le16(18) : le32(18));
    const qint64 height = std::abs(core ? le16(20) : le32(22));
    const qint64 bitsPerPixel = core ? le16(24) : le16(28);
    const qint64 compression = core ? 0 : le32(30);
    if (compression != 0 && compression != 3 && compression != 6)
        return true;
    constexpr qint64 kMaxBits = 64;
    if (bitsPerPixel < 1 || bitsPerPixel > kMaxBits)
        return false;
    // At most 2^31 × 64 bits a row: the row's bytes fit, and so does their product with
    // the height once that is checked against what the file could hold at all.
    const qint64 rowBytes = (width * bitsPerPixel + 31) / 32 * 4;
    const qint64 available = file.size() - qint64(readEndian32(header, 10, true));
    return rowBytes == 0 || (available >= 0 && height <= available / rowBytes);
}

bool looksComplete(const QString& path, ImageType type)
{
    const DeviceCheck check = typeRow(type).complete;
    if (!check)
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && check(file);
}

} // namespace imaging::detail
