#pragma once

#include <QByteArray>

// The framing every PNG chunk shares: length, type, data and a CRC over type and data.
namespace imaging::detail {

inline const QByteArray kPngSignature("\x89PNG\r\n\x1A\n", 8);

// The CRC-32 PNG chunks carry, continued from crc (0 to start).
quint32 pngCrc(const char* data, qsizetype size, quint32 crc = 0);

// Whether a whole chunk as stored, length field to CRC, has the CRC of its type and data.
bool pngChunkIntact(const QByteArray& chunk);

// Appends a chunk with its length and CRC.
void appendPngChunk(QByteArray& out, const char* type, const char* data, qsizetype size);

} // namespace imaging::detail
