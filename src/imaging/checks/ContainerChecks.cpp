#include "imaging/checks/ContainerChecks.h"

#include "imaging/support/ByteReading.h"
#include "imaging/TypeTable.h"
#include "imaging/support/DecodeSupport.h"

#include <QBuffer>
#include <QFile>

#include <algorithm>
#include <cstdlib>

namespace imaging::detail {

namespace {

// The most pixels one byte of data can stand for, with room to spare: deflate expands at most
// 1032 times (and every PNG row costs a filter byte), a Huffman-coded JPEG spends at least a
// bit on each 8 × 8 block, an LZW code of 12 bits yields at most 4096 pixels, and a VP8
// macroblock of 256 pixels costs more than a bit for its prediction modes alone.
constexpr qint64 kDeflateRatio = 1032;
constexpr qint64 kJpegPixelsPerByte = 1024;
constexpr qint64 kLzwPixelsPerByte = 4096;
constexpr qint64 kVp8PixelsPerByte = 4096;
// A BMP run of RLE8 or RLE4 paints at most 255 pixels for two bytes; the jumps that skip pixels
// are rare in real files, so a generous bound still tells a lie.
constexpr qint64 kRlePixelsPerByte = 1024;
// Only frames paint an animation's canvas: one far larger than all of them together is a lie,
// unless it is too small to matter.
constexpr qint64 kCanvasOverFrames = 16;
constexpr qint64 kSmallCanvas = 1 << 20;
constexpr int kMaxChunks = 1 << 20;
constexpr int kMaxIconEntries = 256;

bool plausible(qint64 pixels, qint64 bytes, qint64 pixelsPerByte)
{
    return pixels / pixelsPerByte <= bytes;
}

quint32 readLittleEndian24(const QByteArray& bytes, qsizetype at)
{
    return readByte(bytes, at) | readByte(bytes, at + 1) << 8 | readByte(bytes, at + 2) << 16;
}

// The frames of an animation on their canvas.
class Canvas {
public:
    Canvas(qint64 width, qint64 height) : m_width(width), m_height(height) {}

    bool withinBudget() const { return withinPixelBudget(m_width, m_height); }

    // An empty frame paints nothing and costs nothing.
    bool addFrame(qint64 x, qint64 y, qint64 width, qint64 height)
    {
        if (width <= 0 || height <= 0)
            return true;
        if (!withinPixelBudget(width, height))
            return false;
        m_left = std::min(m_left, x);
        m_top = std::min(m_top, y);
        m_right = std::max(m_right, x + width);
        m_bottom = std::max(m_bottom, y + height);
        return true;
    }

    bool covered() const
    {
        const qint64 area = m_width * m_height;
        const qint64 painted =
            m_right > m_left ? (m_right - m_left) * std::max<qint64>(m_bottom - m_top, 0) : 0;
        return area <= kSmallCanvas || area / kCanvasOverFrames <= painted;
    }

private:
    qint64 m_width, m_height;
    qint64 m_left = INT64_MAX, m_top = INT64_MAX, m_right = 0, m_bottom = 0;
};

} // namespace

bool pngIsSound(QIODevice& device)
{
    if (readExactly(device, 8) != QByteArray("\x89PNG\r\n\x1A\n", 8))
        return false;
    qint64 width = 0, height = 0, bitsPerPixel = 0, data = 0;
    for (int i = 0; i < kMaxChunks; ++i) {
        const QByteArray header = device.read(8);
        if (header.isEmpty() && i > 0)
            break; // no IEND: what came before is whole
        const qint64 length = readBigEndian32(header, 0);
        // The chunk's data and CRC must be in the file before libpng allocates for them.
        if (header.size() != 8 || length > 0x7FFFFFFF || length + 4 > device.size() - device.pos())
            return false;
        const QByteArray type = header.mid(4, 4);
        if (i == 0) {
            const QByteArray ihdr = readExactly(device, 13);
            if (type != "IHDR" || ihdr.size() != 13)
                return false;
            width = readBigEndian32(ihdr, 0);
            height = readBigEndian32(ihdr, 4);
            static constexpr int kSamples[] = {1, 0, 3, 1, 2, 0, 4};
            const quint32 colourType = readByte(ihdr, 9);
            if (colourType > 6 || kSamples[colourType] == 0 || !withinPixelBudget(width, height))
                return false;
            bitsPerPixel = readByte(ihdr, 8) * (colourType == 3 ? 1 : kSamples[colourType]);
            if (!skipBytes(device, length - 13 + 4))
                return false;
            continue;
        }
        if (type == "IEND")
            break;
        if (type == "IDAT")
            data += length;
        if (!skipBytes(device, length + 4))
            return false;
    }
    const qint64 rowBytes = 1 + (width * bitsPerPixel + 7) / 8;
    return plausible(height * rowBytes, data, kDeflateRatio);
}

bool jpegIsSound(QIODevice& device)
{
    constexpr int kMaxSegments = 4096;
    qint64 at = 2;
    for (int i = 0; i < kMaxSegments && device.seek(at); ++i) {
        const QByteArray head = device.read(9);
        if (head.size() < 2 || readByte(head, 0) != 0xFF)
            return false;
        const quint32 code = readByte(head, 1);
        if (code == 0xFF) { // fill byte
            at += 1;
            continue;
        }
        if (code == 0x01 || (code >= 0xD0 && code <= 0xD7)) { // no length field
            at += 2;
            continue;
        }
        const qint64 length = readBigEndian16(head, 2);
        if (head.size() < 4 || length < 2 || at + 2 + length > device.size())
            return false;
        const bool frame =
            code >= 0xC0 && code <= 0xCF && code != 0xC4 && code != 0xC8 && code != 0xCC;
        if (frame) {
            const qint64 height = readBigEndian16(head, 5), width = readBigEndian16(head, 7);
            const bool huffman = code <= 0xC3 || (code >= 0xC5 && code <= 0xC7);
            if (head.size() < 9 || !withinPixelBudget(width, height) ||
                (huffman && !plausible(width * height, device.size(), kJpegPixelsPerByte)))
                return false;
        }
        if (code == 0xDA)
            return true;
        at += 2 + length;
    }
    return false;
}

namespace {

// The total size of a run of GIF data sub-blocks, or -1 when they run past the end.
qint64 gifSubBlocks(QIODevice& device)
{
    qint64 total = 0;
    char size = 0;
    while (device.getChar(&size)) {
        if (size == 0)
            return total;
        if (!skipBytes(device, quint8(size)))
            return -1;
        total += quint8(size);
    }
    return -1;
}

} // namespace

bool gifIsSound(QIODevice& device)
{
    const QByteArray header = readExactly(device, 13);
    if (header.size() != 13)
        return false;
    const auto colourTable = [](quint32 flags) {
        return (flags & 0x80) ? 3 * (qint64(1) << ((flags & 7) + 1)) : 0;
    };
    // Qt decodes every frame onto a canvas of the logical screen's size.
    Canvas canvas(readEndian16(header, 6, true), readEndian16(header, 8, true));
    const bool hasScreen = readEndian16(header, 6, true) > 0 && readEndian16(header, 8, true) > 0;
    if ((hasScreen && !canvas.withinBudget()) ||
        !skipBytes(device, colourTable(readByte(header, 10))))
        return false;
    int frames = 0;
    char introducer = 0;
    // A file cut short after its first frame still plays what it holds.
    for (int i = 0; i < kMaxChunks && device.getChar(&introducer); ++i) {
        if (quint8(introducer) == 0x21) {
            if (!skipBytes(device, 1) || gifSubBlocks(device) < 0)
                break;
        } else if (quint8(introducer) == 0x2C) {
            const QByteArray descriptor = readExactly(device, 9);
            if (descriptor.size() != 9 ||
                !skipBytes(device, colourTable(readByte(descriptor, 8)) + 1))
                break;
            const qint64 x = readEndian16(descriptor, 0, true),
                         y = readEndian16(descriptor, 2, true);
            const qint64 width = readEndian16(descriptor, 4, true);
            const qint64 height = readEndian16(descriptor, 6, true);
            const qint64 data = gifSubBlocks(device);
            if (!canvas.addFrame(x, y, width, height) ||
                (data >= 0 && !plausible(width * height, data, kLzwPixelsPerByte)))
                return false;
            ++frames;
            if (data < 0)
                break;
        } else {
            break; // the trailer, or bytes no decoder reads
        }
    }
    return frames > 0 && (!hasScreen || canvas.covered());
}

namespace {

// The dimensions in a VP8 or VP8L bitstream's header; a still image is its canvas's one frame.
bool webpBitstreamIsSound(const QByteArray& type, const QByteArray& head, qint64 size,
                          std::optional<Canvas>& canvas, int depth)
{
    qint64 width = 0, height = 0;
    if (type == "VP8 ") {
        width = readEndian16(head, 6, true) & 0x3FFF;
        height = readEndian16(head, 8, true) & 0x3FFF;
        if (head.size() < 10 || head.mid(3, 3) != "\x9D\x01\x2A" ||
            !plausible(width * height, size, kVp8PixelsPerByte))
            return false;
    } else if (type == "VP8L") {
        const quint32 bits = readEndian32(head, 1, true);
        width = (bits & 0x3FFF) + 1;
        height = ((bits >> 14) & 0x3FFF) + 1;
        if (head.size() < 5 || readByte(head, 0) != 0x2F)
            return false;
    } else {
        return true;
    }
    if (!withinPixelBudget(width, height))
        return false;
    return depth > 0 || !canvas || canvas->addFrame(0, 0, width, height);
}

} // namespace

namespace {

// Walks RIFF chunks from the current position to end; frames are walked into.
bool webpChunksAreSound(QIODevice& device, qint64 end, std::optional<Canvas>& canvas, int depth)
{
    for (int i = 0; i < kMaxChunks && device.pos() + 8 <= end; ++i) {
        const QByteArray header = readExactly(device, 8);
        const QByteArray type = header.left(4);
        const qint64 size = readEndian32(header, 4, true);
        const qint64 start = device.pos();
        if (header.size() != 8 || start + size > end)
            return false;
        const QByteArray head = readExactly(device, std::min<qint64>(size, 16));
        if (type == "VP8X" && depth == 0) {
            canvas.emplace(readLittleEndian24(head, 4) + 1, readLittleEndian24(head, 7) + 1);
            if (head.size() < 10 || !canvas->withinBudget())
                return false;
        } else if (type == "ANMF" && depth == 0) {
            if (head.size() < 16 || !canvas ||
                !canvas->addFrame(2 * qint64(readLittleEndian24(head, 0)),
                                  2 * qint64(readLittleEndian24(head, 3)),
                                  readLittleEndian24(head, 6) + 1,
                                  readLittleEndian24(head, 9) + 1) ||
                !webpChunksAreSound(device, start + size, canvas, depth + 1))
                return false;
        } else if (!webpBitstreamIsSound(type, head, size, canvas, depth)) {
            return false;
        }
        if (!device.seek(std::min(start + size + (size & 1), end)))
            return false;
    }
    return true;
}

} // namespace

bool webpIsSound(QIODevice& device)
{
    const QByteArray header = readExactly(device, 12);
    const qint64 end = 8 + qint64(readEndian32(header, 4, true));
    std::optional<Canvas> canvas;
    return header.size() == 12 && end <= device.size() &&
           webpChunksAreSound(device, end, canvas, 0) && (!canvas || canvas->covered());
}

bool bmpIsSound(QIODevice& device)
{
    const QByteArray header = readExactly(device, 34);
    const qint64 infoSize = readEndian32(header, 14, true);
    static constexpr qint64 kInfoSizes[] = {12, 16, 40, 52, 56, 64, 108, 124};
    if (header.size() < 26 ||
        std::find(std::begin(kInfoSizes), std::end(kInfoSizes), infoSize) == std::end(kInfoSizes))
        return false;
    const bool core = infoSize == 12;
    const qint64 width =
        core ? readEndian16(header, 18, true) : qint32(readEndian32(header, 18, true));
    const qint64 height =
        core ? readEndian16(header, 20, true) : qint32(readEndian32(header, 22, true));
    const qint64 dataStart = readEndian32(header, 10, true);
    if (14 + infoSize > device.size() || dataStart > device.size() ||
        !withinPixelBudget(std::abs(width), std::abs(height)))
        return false;
    const qint64 compression = core || infoSize < 40 ? 0 : readEndian32(header, 30, true);
    const bool runLength = compression == 1 || compression == 2;
    return !runLength || plausible(std::abs(width) * std::abs(height),
                                   device.size() - dataStart, kRlePixelsPerByte);
}

// Every entry inside the file; embedded PNG entries sound, bitmap entries within the budget.
bool icoIsSound(QIODevice& device)
{
    const QByteArray header = readExactly(device, 6);
    const int count = std::min<int>(readEndian16(header, 4, true), kMaxIconEntries);
    const QByteArray entries = readExactly(device, qint64(count) * 16);
    if (header.size() != 6 || entries.size() != count * 16)
        return false;
    for (int i = 0; i < count; ++i) {
        const qint64 size = readEndian32(entries, i * 16 + 8, true);
        const qint64 offset = readEndian32(entries, i * 16 + 12, true);
        if (offset + size > device.size() || !device.seek(offset))
            return false;
        const QByteArray head = device.peek(12);
        if (head.startsWith("\x89PNG")) {
            QBuffer entry;
            entry.setData(readExactly(device, size));
            if (!entry.open(QIODevice::ReadOnly) || !pngIsSound(entry))
                return false;
        } else if (!withinPixelBudget(qint32(readEndian32(head, 4, true)),
                                      qint32(readEndian32(head, 8, true)) / 2)) {
            return false;
        }
    }
    return true;
}

bool containerIsSound(const QString& path, ImageType type)
{
    const DeviceCheck check = typeRow(type).sound;
    if (!check)
        return true;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && check(file);
}

} // namespace imaging::detail
