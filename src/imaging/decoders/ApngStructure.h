#pragma once

#include <QByteArray>
#include <QRect>
#include <QSize>

#include <optional>
#include <vector>

class QIODevice;

// The chunks of an animated PNG, walked once before any frame is decoded. libpng knows only
// the default image; the frames are found here and handed to it one at a time.
namespace imaging::detail {

// What happens to a frame's region before the next frame is drawn.
enum class ApngDispose : quint8 { None, Background, Previous };
// How a frame is drawn: replacing its region, or over it with alpha.
enum class ApngBlend : quint8 { Source, Over };

// One stored run of a frame's compressed data: an IDAT chunk, or an fdAT chunk whose data
// follows its sequence number.
struct ApngDataChunk {
    qint64 start = 0;   // where the chunk's length field is
    quint32 length = 0; // of the chunk's data, sequence number included
    bool sequenced = false;
};

struct ApngFrame {
    QRect rect;      // on the canvas, always inside it
    int delayMs = 0; // as stored, before the viewer's rule for very short delays
    ApngDispose dispose = ApngDispose::None;
    ApngBlend blend = ApngBlend::Source;
    size_t firstChunk = 0, chunkCount = 0; // in ApngStructure::chunks
};

struct ApngStructure {
    QSize canvas;
    QByteArray header; // the IHDR chunk's 13 bytes
    // PLTE, tRNS, gAMA, cHRM, sRGB and iCCP as stored, length to CRC, in the file's order:
    // every frame is decoded with them.
    QByteArray decodingChunks;
    // The frames that play, in order; empty when the file is to be shown as a still picture.
    std::vector<ApngFrame> frames;
    std::vector<ApngDataChunk> chunks;
    int plays = 0; // 0: forever
    bool defaultImageIsFrame = false;
};

// The file's structure, or nothing when it is not a PNG with a sound header within the pixel
// budget. A damaged animation control, a frame count that disagrees with the frames found in a
// whole file, fewer than two good frames, or frames painting far less than the canvas leave
// frames empty: the default image is shown as a still picture. Damage at a later frame (out of
// the canvas, out of sequence, empty, unknown operations, data missing or too short for its
// size, the file cut short) ends the animation on the last whole frame before it.
std::optional<ApngStructure> readApngStructure(QIODevice& device);

// A cheap look at the chunks before the image data: whether the file announces an animation of
// more than one frame. readApngStructure decides whether it plays.
bool isAnimatedPng(QIODevice& device);

// For the still-image path: 0 when the file is not a sound PNG, 1 when it shows as a still
// picture, otherwise the frames that play.
int pngFrameCount(QIODevice& device);

} // namespace imaging::detail
