#include "imaging/decoders/PngChunks.h"

#include "imaging/support/ByteReading.h"

#include <array>

namespace imaging::detail {

namespace {

constexpr auto kCrcTable = [] {
    std::array<quint32, 256> table{};
    for (quint32 n = 0; n < 256; ++n) {
        quint32 c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

void appendBigEndian32(QByteArray& out, quint32 value)
{
    const char bytes[] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

} // namespace

quint32 pngCrc(const char* data, qsizetype size, quint32 crc)
{
    crc = ~crc;
    for (qsizetype i = 0; i < size; ++i)
        crc = kCrcTable[(crc ^ quint8(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

bool pngChunkIntact(const QByteArray& chunk)
{
    const qint64 length = readBigEndian32(chunk, 0);
    return chunk.size() == 12 + length &&
           readBigEndian32(chunk, 8 + length) == pngCrc(chunk.constData() + 4, 4 + length);
}

void appendPngChunk(QByteArray& out, const char* type, const char* data, qsizetype size)
{
    appendBigEndian32(out, quint32(size));
    out.append(type, 4);
    if (size > 0)
        out.append(data, size);
    appendBigEndian32(out, pngCrc(data, size, pngCrc(type, 4)));
}

} // namespace imaging::detail
