#pragma once

#include <QByteArray>
#include <QIODevice>

#include <cstring>

// Fixed-width integers read from untrusted bytes. Reads past the end yield 0, so a short
// buffer can never be read out of bounds; callers check sizes where 0 would mislead.
namespace imaging {

inline quint32 readByte(const QByteArray& bytes, qsizetype at)
{
    return at >= 0 && at < bytes.size() ? quint8(bytes[at]) : 0u;
}

inline quint16 readEndian16(const QByteArray& bytes, qsizetype at, bool littleEndian)
{
    const quint32 a = readByte(bytes, at), b = readByte(bytes, at + 1);
    return quint16(littleEndian ? (b << 8 | a) : (a << 8 | b));
}

inline quint32 readEndian32(const QByteArray& bytes, qsizetype at, bool littleEndian)
{
    const quint32 high = readEndian16(bytes, at + (littleEndian ? 2 : 0), littleEndian);
    const quint32 low = readEndian16(bytes, at + (littleEndian ? 0 : 2), littleEndian);
    return high << 16 | low;
}

inline quint16 readBigEndian16(const QByteArray& bytes, qsizetype at)
{
    return readEndian16(bytes, at, false);
}

inline quint32 readBigEndian32(const QByteArray& bytes, qsizetype at)
{
    return readEndian32(bytes, at, false);
}

inline quint64 readBigEndian64(const QByteArray& bytes, qsizetype at)
{
    return quint64(readBigEndian32(bytes, at)) << 32 | readBigEndian32(bytes, at + 4);
}

// Exactly size bytes from the device's current position, or nothing when fewer remain.
inline QByteArray readExactly(QIODevice& device, qint64 size)
{
    if (size < 0 || size > device.size() - device.pos())
        return {};
    QByteArray bytes = device.read(size);
    return bytes.size() == size ? bytes : QByteArray();
}

// Moves size bytes on, when that stays within the device.
inline bool skipBytes(QIODevice& device, qint64 size)
{
    return size >= 0 && size <= device.size() - device.pos() && device.seek(device.pos() + size);
}

} // namespace imaging
