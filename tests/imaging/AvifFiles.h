#pragma once

#include "imaging/support/ByteReading.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSize>

// Boxes of AVIF files written by hand, and where the samples of files the encoder wrote lie.
namespace aviffiles {

using imaging::readBigEndian32;

// A box of this type around these contents.
inline QByteArray box(const char* type, const QByteArray& contents)
{
    QByteArray out;
    const quint32 size = quint32(8 + contents.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(size >> shift));
    return out + type + contents;
}

inline QByteArray bigEndian32(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

// A track header (version 0) of this duration and size, then the rest of its track.
inline QByteArray track(quint32 duration, const QByteArray& rest, QSize size = {64, 48})
{
    QByteArray tkhd = bigEndian32(0) + bigEndian32(0) + bigEndian32(0) + bigEndian32(1) +
                      bigEndian32(0) + bigEndian32(duration) + QByteArray(52, '\0');
    tkhd += bigEndian32(quint32(size.width()) << 16) + bigEndian32(quint32(size.height()) << 16);
    return box("trak", box("tkhd", tkhd) + rest);
}

inline QByteArray editList(bool repeats, quint32 segment)
{
    return box("edts",
               box("elst", bigEndian32(repeats ? 1 : 0) + bigEndian32(1) + bigEndian32(segment) +
                               bigEndian32(0) + bigEndian32(0x10000)));
}

// The offset and size of each sample of a file's first track (one chunk, as libavif writes).
inline QList<QPair<qsizetype, qsizetype>> samplesOf(const QByteArray& file)
{
    const qsizetype stsz = file.indexOf("stsz") + 4, stco = file.indexOf("stco") + 4;
    qsizetype at = qsizetype(readBigEndian32(file, stco + 8));
    QList<QPair<qsizetype, qsizetype>> samples;
    for (quint32 i = 0; i < readBigEndian32(file, stsz + 8); ++i) {
        const qsizetype size = qsizetype(readBigEndian32(file, stsz + 12 + 4 * i));
        samples.append({at, size});
        at += size;
    }
    return samples;
}

} // namespace aviffiles
