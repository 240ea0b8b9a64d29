#pragma once

#include "imaging/decoders/PngChunks.h"
#include "imaging/support/ByteReading.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QList>

#include <initializer_list>

// Writes animated PNGs for the tests: each frame is encoded by Qt's PNG writer and its data
// moved into fcTL and fdAT chunks. Tests change the chunks before serialising to damage them.
namespace apngtest {

struct Chunk {
    QByteArray type, data;
    bool wrongCrc = false;
};

struct Frame {
    QImage image;
    QPoint at;
    quint16 delayNum = 1, delayDen = 10;
    quint8 dispose = 0, blend = 0;
};

struct Animation {
    QSize canvas;
    QList<Frame> frames;
    quint32 plays = 0;
    QImage defaultImage; // when set, shown by still viewers and not one of the frames
    qsizetype split = 0; // most data bytes in one chunk; 0 for one chunk per image
};

inline QByteArray bytes(std::initializer_list<char> list)
{
    return QByteArray(list.begin(), qsizetype(list.size()));
}

inline QByteArray bigEndian32(quint32 value)
{
    return bytes({char(value >> 24), char(value >> 16), char(value >> 8), char(value)});
}

inline void put32(QByteArray& data, qsizetype at, quint32 value)
{
    data.replace(at, 4, bigEndian32(value));
}

inline QByteArray encoded(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

inline QList<Chunk> chunksOf(const QByteArray& png)
{
    QList<Chunk> chunks;
    for (qsizetype at = 8; at + 12 <= png.size();) {
        const qsizetype length = imaging::readBigEndian32(png, at);
        chunks.append({png.mid(at + 4, 4), png.mid(at + 8, length)});
        at += 12 + length;
    }
    return chunks;
}

inline QByteArray imageData(const QByteArray& png)
{
    QByteArray data;
    for (const Chunk& chunk : chunksOf(png)) {
        if (chunk.type == "IDAT")
            data += chunk.data;
    }
    return data;
}

// The nth chunk of the type, or -1.
inline qsizetype find(const QList<Chunk>& chunks, const char* type, int nth = 0)
{
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        if (chunks[i].type == type && nth-- == 0)
            return i;
    }
    return -1;
}

inline QList<Chunk> apngChunks(const Animation& animation)
{
    const QList<Chunk> first = chunksOf(encoded(animation.frames.value(0).image));
    QByteArray header = first.value(0).data;
    put32(header, 0, quint32(animation.canvas.width()));
    put32(header, 4, quint32(animation.canvas.height()));
    QList<Chunk> chunks{
        {"IHDR", header},
        {"acTL", bigEndian32(quint32(animation.frames.size())) + bigEndian32(animation.plays)}};
    for (const Chunk& chunk : first) {
        if (QList<QByteArray>{"PLTE", "tRNS", "gAMA", "cHRM", "sRGB", "iCCP"}.contains(chunk.type))
            chunks.append(chunk);
    }
    quint32 sequence = 0;
    const auto addData = [&](const QByteArray& data, bool frameData) {
        const qsizetype step = animation.split > 0 ? animation.split : data.size();
        for (qsizetype at = 0; at < data.size(); at += step) {
            if (frameData)
                chunks.append(Chunk{"fdAT", bigEndian32(sequence++) + data.mid(at, step)});
            else
                chunks.append(Chunk{"IDAT", data.mid(at, step)});
        }
    };
    const bool defaultIsFrame = animation.defaultImage.isNull();
    if (!defaultIsFrame)
        addData(imageData(encoded(animation.defaultImage)), false);
    for (qsizetype i = 0; i < animation.frames.size(); ++i) {
        const Frame& frame = animation.frames[i];
        const QByteArray control =
            bigEndian32(sequence++) + bigEndian32(frame.image.width()) +
            bigEndian32(frame.image.height()) + bigEndian32(frame.at.x()) +
            bigEndian32(frame.at.y()) +
            bytes({char(frame.delayNum >> 8), char(frame.delayNum), char(frame.delayDen >> 8),
                   char(frame.delayDen), char(frame.dispose), char(frame.blend)});
        chunks.append(Chunk{"fcTL", control});
        addData(imageData(encoded(frame.image)), i > 0 || !defaultIsFrame);
    }
    chunks.append(Chunk{"IEND", {}});
    return chunks;
}

inline QByteArray serialised(const QList<Chunk>& chunks)
{
    QByteArray png("\x89PNG\r\n\x1A\n", 8);
    for (const Chunk& chunk : chunks) {
        const QByteArray typed = chunk.type + chunk.data;
        png += bigEndian32(quint32(chunk.data.size())) + typed +
               bigEndian32(imaging::detail::pngCrc(typed.constData(), typed.size()) ^
                           quint32(chunk.wrongCrc));
    }
    return png;
}

inline QByteArray apng(const Animation& animation)
{
    return serialised(apngChunks(animation));
}

inline QImage solid(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

// A red canvas, a green square over its middle, a blue corner: each frame leaves a trace.
inline Animation threeFrames(quint8 middleDispose = 0)
{
    Animation animation{QSize(8, 8), {}, 0, {}, 0};
    animation.frames = {{solid(8, 8, Qt::red), {0, 0}},
                        {solid(4, 4, Qt::green), {2, 2}, 1, 10, middleDispose},
                        {solid(2, 2, Qt::blue), {6, 6}}};
    return animation;
}

} // namespace apngtest
