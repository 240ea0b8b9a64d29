#include "imaging/decoders/ApngStructure.h"

#include "imaging/decoders/PngChunks.h"
#include "imaging/support/ByteReading.h"
#include "imaging/support/DecodeSupport.h"

#include <QIODevice>

#include <algorithm>

namespace imaging::detail {

namespace {

constexpr int kMaxChunks = 1 << 20;
constexpr qint64 kMaxChunkLength = 0x7FFFFFFF;
// acTL and fcTL are 8 and 26 bytes; anything longer is not one.
constexpr qint64 kMaxControlLength = 64;
// Room for a large ICC profile; past this the colour chunks are left out of the frames.
constexpr qint64 kMaxDecodingChunks = 1 << 24;
// As in ContainerChecks: deflate expands at most 1032 times, and a canvas far larger than all
// its frames together is a lie unless it is too small to matter.
constexpr qint64 kDeflateRatio = 1032;
constexpr qint64 kCanvasOverFrames = 16;
constexpr qint64 kSmallCanvas = 1 << 20;

bool isDecodingChunk(const QByteArray& type)
{
    return type == "PLTE" || type == "tRNS" || type == "gAMA" || type == "cHRM" || type == "sRGB" ||
           type == "iCCP";
}

// The bits one pixel takes in the data, or 0 for a combination PNG does not have.
int bitsPerPixel(const QByteArray& header)
{
    const quint32 depth = readByte(header, 8), colourType = readByte(header, 9);
    const bool anyDepth = depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16;
    const bool wholeBytes = depth == 8 || depth == 16;
    switch (colourType) {
    case 0:
        return anyDepth ? int(depth) : 0;
    case 3:
        return anyDepth && depth <= 8 ? int(depth) : 0;
    case 2:
    case 4:
    case 6:
        return wholeBytes ? int(depth) * (colourType == 2 ? 3 : colourType == 4 ? 2 : 4) : 0;
    default:
        return 0;
    }
}

// One pass over the chunks after IHDR, collecting the frames that are whole and sound.
class ChunkWalk {
public:
    ChunkWalk(QIODevice& device, ApngStructure& out)
        : m_device(device), m_out(out), m_bitsPerPixel(bitsPerPixel(out.header))
    {
    }

    void run()
    {
        for (int i = 0; chunk();) {
            if (++i == kMaxChunks) {
                cutShort();
                break;
            }
        }
        finish();
    }

private:
    // False once the walk ends: at IEND, at damage, or where nothing more can play.
    bool chunk()
    {
        const QByteArray header = m_device.read(8);
        const qint64 length = readBigEndian32(header, 0);
        const qint64 start = m_device.pos() - header.size();
        if (header.size() != 8 || length > kMaxChunkLength ||
            length + 4 > m_device.size() - m_device.pos())
            return cutShort();
        const QByteArray type = header.mid(4);
        const bool imageData = type == "IDAT";
        if (m_inImageData && !imageData)
            m_afterImageData = true;
        if (type == "IEND")
            return false;
        if (imageData)
            return this->imageData(start, length);
        if (type == "acTL" || type == "fcTL") {
            // Small enough to read whole; a longer one is not what it says.
            const QByteArray body =
                length <= kMaxControlLength ? readExactly(m_device, length + 4) : QByteArray();
            if (body.isEmpty() && !skipBytes(m_device, length + 4))
                return damaged();
            const QByteArray data = body.left(length);
            const bool intact = pngChunkIntact(header + body);
            return type == "acTL" ? animationControl(data, intact) : frameControl(data, intact);
        }
        if (type == "fdAT")
            return frameData(start, length);
        if (isDecodingChunk(type) && !m_seenImageData &&
            m_out.decodingChunks.size() + 12 + length <= kMaxDecodingChunks) {
            const QByteArray whole =
                m_device.seek(start) ? readExactly(m_device, 12 + length) : QByteArray();
            m_out.decodingChunks += whole;
            return whole.size() == 12 + length || damaged();
        }
        return skipBytes(m_device, length + 4) || damaged();
    }

    bool animationControl(const QByteArray& data, bool intact)
    {
        // One sound acTL before the image data, or the file is a still picture.
        const qint64 frames = readBigEndian32(data, 0);
        if (m_animated || m_seenImageData || !intact || data.size() != 8 || frames == 0) {
            m_animated = false;
            return false;
        }
        m_animated = true;
        m_declaredFrames = frames;
        m_out.plays = int(std::min<qint64>(readBigEndian32(data, 4), INT_MAX));
        return true;
    }

    bool frameControl(const QByteArray& data, bool intact)
    {
        if (!m_animated)
            return true; // a plain PNG's stray chunk
        ++m_controls;
        // Whatever follows, the frame before ended here.
        if (!endFrame() || !intact || data.size() != 26 || !inSequence(data))
            return damaged();
        const qint64 width = readBigEndian32(data, 4), height = readBigEndian32(data, 8);
        const qint64 x = readBigEndian32(data, 12), y = readBigEndian32(data, 16);
        const quint32 delayNum = readBigEndian16(data, 20), delayDen = readBigEndian16(data, 22);
        const quint32 dispose = readByte(data, 24), blend = readByte(data, 25);
        const QSize canvas = m_out.canvas;
        if (width == 0 || height == 0 || x + width > canvas.width() ||
            y + height > canvas.height() || dispose > 2 || blend > 1 ||
            !withinPixelBudget(width, height))
            return damaged();
        // The default image as first frame covers the canvas, and only one frame precedes it.
        if (!m_seenImageData && (x != 0 || y != 0 || QSize(int(width), int(height)) != canvas))
            return damaged();
        ApngFrame frame;
        frame.rect = QRect(int(x), int(y), int(width), int(height));
        frame.delayMs =
            int((delayNum * 1000 + (delayDen ? delayDen : 100) / 2) / (delayDen ? delayDen : 100));
        frame.dispose = ApngDispose(dispose);
        frame.blend = ApngBlend(blend);
        frame.firstChunk = m_out.chunks.size();
        m_frame = frame;
        m_frameIsDefaultImage = !m_seenImageData;
        m_defaultImageIsFrame |= m_frameIsDefaultImage;
        return true;
    }

    bool inSequence(const QByteArray& data) { return readBigEndian32(data, 0) == m_sequence++; }

    bool imageData(qint64 start, qint64 length)
    {
        if (m_afterImageData)
            return damaged(); // IDAT chunks are consecutive
        m_seenImageData = m_inImageData = true;
        if (!m_animated)
            return false; // nothing after the image data matters to a still picture
        if (m_frame && m_frameIsDefaultImage)
            addData(start, length, false);
        return skipBytes(m_device, length + 4) || damaged();
    }

    bool frameData(qint64 start, qint64 length)
    {
        if (!m_animated)
            return skipBytes(m_device, length + 4) || damaged();
        // Frame data belongs after the default image, to a frame of its own.
        if (!m_seenImageData || !m_frame || m_frameIsDefaultImage || length < 4 ||
            !inSequence(readExactly(m_device, 4)))
            return damaged();
        addData(start, length, true);
        return skipBytes(m_device, length) || damaged();
    }

    void addData(qint64 start, qint64 length, bool sequenced)
    {
        m_out.chunks.push_back({start, quint32(length), sequenced});
        ++m_frame->chunkCount;
        m_frameData += sequenced ? length - 4 : length;
    }

    // Keeps the frame being read, when it has data enough for its size.
    bool endFrame()
    {
        if (!m_frame)
            return true;
        const qint64 rowBytes = 1 + (qint64(m_frame->rect.width()) * m_bitsPerPixel + 7) / 8;
        const bool plausible =
            m_frameData > 0 && m_frame->rect.height() * rowBytes / kDeflateRatio <= m_frameData;
        if (plausible)
            m_out.frames.push_back(*m_frame);
        m_frame.reset();
        m_frameData = 0;
        return plausible;
    }

    bool damaged()
    {
        m_damaged = true;
        return false;
    }

    // Where the file ends early, the frame being read may be missing data: it is dropped.
    bool cutShort()
    {
        m_cut = true;
        return damaged();
    }

    void finish()
    {
        // Damage after a frame's data ends it; should the damage have been more of its data,
        // the frame fails to decode when played, and the animation ends before it then.
        if (!m_cut && !endFrame())
            m_damaged = true;
        // A file cut short or damaged may have lost frames it counts; a whole one may not.
        const bool countLies =
            m_controls > m_declaredFrames || (!m_damaged && m_controls != m_declaredFrames);
        if (!m_animated || countLies || m_out.frames.size() < 2 || !covered())
            m_out.frames.clear();
        m_out.defaultImageIsFrame = m_defaultImageIsFrame && !m_out.frames.empty();
        if (m_out.frames.empty())
            m_out.chunks.clear();
    }

    bool covered() const
    {
        QRect painted;
        for (const ApngFrame& frame : m_out.frames)
            painted |= frame.rect;
        const qint64 area = qint64(m_out.canvas.width()) * m_out.canvas.height();
        return area <= kSmallCanvas ||
               area / kCanvasOverFrames <= qint64(painted.width()) * painted.height();
    }

    QIODevice& m_device;
    ApngStructure& m_out;
    const int m_bitsPerPixel;
    bool m_animated = false;
    qint64 m_declaredFrames = 0, m_controls = 0;
    quint32 m_sequence = 0;
    bool m_seenImageData = false, m_inImageData = false, m_afterImageData = false;
    std::optional<ApngFrame> m_frame; // being read
    bool m_frameIsDefaultImage = false, m_defaultImageIsFrame = false;
    qint64 m_frameData = 0;
    bool m_damaged = false, m_cut = false;
};

} // namespace

std::optional<ApngStructure> readApngStructure(QIODevice& device)
{
    if (readExactly(device, 8) != kPngSignature)
        return std::nullopt;
    const QByteArray chunk = readExactly(device, 8 + 13 + 4);
    const QByteArray header = chunk.mid(8, 13);
    const qint64 width = readBigEndian32(header, 0), height = readBigEndian32(header, 4);
    if (chunk.size() != 25 || readBigEndian32(chunk, 0) != 13 || chunk.mid(4, 4) != "IHDR" ||
        !pngChunkIntact(chunk) || bitsPerPixel(header) == 0 || readByte(header, 10) != 0 ||
        readByte(header, 11) != 0 || readByte(header, 12) > 1 || !withinPixelBudget(width, height))
        return std::nullopt;
    ApngStructure structure;
    structure.canvas = QSize(int(width), int(height));
    structure.header = header;
    ChunkWalk walk(device, structure);
    walk.run();
    return structure;
}

bool isAnimatedPng(QIODevice& device)
{
    if (readExactly(device, 8) != kPngSignature)
        return false;
    for (int i = 0; i < kMaxChunks; ++i) {
        const QByteArray header = readExactly(device, 8);
        const qint64 length = readBigEndian32(header, 0);
        const QByteArray type = header.mid(4);
        if (header.size() != 8 || type == "IDAT" || type == "IEND")
            return false;
        if (type == "acTL")
            return length == 8 && readBigEndian32(readExactly(device, 4), 0) > 1;
        if (!skipBytes(device, length + 4))
            return false;
    }
    return false;
}

int pngFrameCount(QIODevice& device)
{
    const std::optional<ApngStructure> structure = readApngStructure(device);
    if (!structure)
        return 0;
    return std::max<int>(1, int(structure->frames.size()));
}

} // namespace imaging::detail
