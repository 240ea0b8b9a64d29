#pragma once

#include "imaging/support/ByteReading.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QSize>

// Boxes of AVIF files written by hand, and surgery on files the encoder wrote: where their
// samples lie, and a sequence header made to lie about the frame size.
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

inline QByteArray setBigEndian32(QByteArray bytes, qsizetype at, quint32 value)
{
    return bytes.replace(at, 4, bigEndian32(value));
}

// The sequence with the AV1 sequence header of its first frame claiming frames this large,
// its track header left as it was.
inline QByteArray claimingFrameSize(const QByteArray& sequence, int width, int height)
{
    // A temporal delimiter of two bytes, then the sequence header with a one-byte size.
    const qsizetype header = samplesOf(sequence).first().first + 2;
    const int size = quint8(sequence[header + 1]);
    QList<bool> bits;
    for (int i = 0; i < size; ++i)
        for (int bit = 7; bit >= 0; --bit)
            bits << bool(quint8(sequence[header + 2 + i]) >> bit & 1);
    const auto number = [&bits](qsizetype at, int count) {
        int value = 0;
        for (int i = 0; i < count; ++i)
            value = value << 1 | int(bits[at + i]);
        return value;
    };
    // Profile, flags and one operating point without timing: 29 bits; then the widths of the
    // size fields and the largest frame size.
    const qsizetype sizeEnd = 37 + number(29, 4) + 1 + number(33, 4) + 1;
    QList<bool> out = bits.mid(0, 29);
    const auto put = [&out](int value, int count) {
        for (int i = count - 1; i >= 0; --i)
            out << bool(value >> i & 1);
    };
    put(15, 4);
    put(15, 4);
    put(width - 1, 16);
    put(height - 1, 16);
    QList<bool> rest = bits.mid(sizeEnd);
    while (!rest.isEmpty() && !rest.last())
        rest.removeLast();
    rest.removeLast(); // the trailing one, put back after
    out << rest << true;
    while (out.size() % 8)
        out << false;
    QByteArray payload(out.size() / 8, '\0');
    for (qsizetype i = 0; i < out.size(); ++i)
        payload[i / 8] = char(payload[i / 8] | int(out[i]) << (7 - i % 8));
    QByteArray result = sequence;
    result.replace(header + 1, 1 + size, char(payload.size()) + payload);
    // The first sample and the media data box grow by as much.
    const quint32 growth = quint32(payload.size() - size);
    const qsizetype stsz = result.indexOf("stsz") + 4 + 12, mdat = result.indexOf("mdat") - 4;
    result = setBigEndian32(result, stsz, readBigEndian32(result, stsz) + growth);
    return setBigEndian32(result, mdat, readBigEndian32(result, mdat) + growth);
}

} // namespace aviffiles
