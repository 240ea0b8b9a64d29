#include "imaging/decoders/ApngDecoder.h"

#include "imaging/decoders/PngChunks.h"
#include "imaging/support/ByteReading.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <algorithm>
#include <cstring>

namespace imaging::detail {

namespace {

QRgb* pixelAt(QImage& image, int x, int y)
{
    return reinterpret_cast<QRgb*>(image.scanLine(y)) + x;
}

// Transparent black over the region.
void clearRegion(QImage& canvas, const QRect& region)
{
    for (int y = region.top(); y <= region.bottom(); ++y)
        std::memset(pixelAt(canvas, region.left(), y), 0, size_t(region.width()) * 4);
}

void copyInto(QImage& canvas, const QImage& pixels, const QPoint& at)
{
    for (int y = 0; y < pixels.height(); ++y)
        std::memcpy(pixelAt(canvas, at.x(), at.y() + y), pixels.constScanLine(y),
                    size_t(pixels.width()) * 4);
}

// Straight (not premultiplied) alpha over: the colours weighted by how much each shows.
QRgb over(QRgb source, QRgb below)
{
    const int sourceAlpha = qAlpha(source), belowAlpha = qAlpha(below);
    if (sourceAlpha == 0)
        return below;
    if (sourceAlpha == 255 || belowAlpha == 0)
        return source;
    const int sourceWeight = sourceAlpha * 255, belowWeight = belowAlpha * (255 - sourceAlpha);
    const int total = sourceWeight + belowWeight;
    const auto mix = [&](int a, int b) {
        return (a * sourceWeight + b * belowWeight + total / 2) / total;
    };
    return qRgba(mix(qRed(source), qRed(below)), mix(qGreen(source), qGreen(below)),
                 mix(qBlue(source), qBlue(below)), (total + 127) / 255);
}

void blendInto(QImage& canvas, const QImage& pixels, const QPoint& at)
{
    for (int y = 0; y < pixels.height(); ++y) {
        const auto* from = reinterpret_cast<const QRgb*>(pixels.constScanLine(y));
        QRgb* to = pixelAt(canvas, at.x(), at.y() + y);
        for (int x = 0; x < pixels.width(); ++x)
            to[x] = over(from[x], to[x]);
    }
}

} // namespace

std::unique_ptr<ApngDecoder> ApngDecoder::open(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return nullptr;
    return open(std::move(file));
}

std::unique_ptr<ApngDecoder> ApngDecoder::open(std::unique_ptr<QIODevice> device)
{
    if (!device || !device->isOpen() || !device->seek(0))
        return nullptr;
    std::optional<ApngStructure> structure = readApngStructure(*device);
    if (!structure || structure->frames.size() < 2)
        return nullptr;
    std::unique_ptr<ApngDecoder> decoder(new ApngDecoder(std::move(device), std::move(*structure)));
    if (decoder->m_canvas.isNull())
        return nullptr;
    return decoder;
}

ApngDecoder::ApngDecoder(std::unique_ptr<QIODevice> device, ApngStructure structure)
    : m_device(std::move(device)), m_structure(std::move(structure)),
      m_frameCount(int(std::min<size_t>(m_structure.frames.size(), INT_MAX))),
      m_canvas(m_structure.canvas, QImage::Format_ARGB32)
{
    if (!m_canvas.isNull())
        m_canvas.fill(0);
}

ApngDecoder::~ApngDecoder() = default;

void ApngDecoder::restart()
{
    m_canvas.fill(0);
    m_next = 0;
    m_dispose = ApngDispose::None;
    m_covered = QImage();
}

QImage ApngDecoder::nextFrame()
{
    if (m_frameCount == 0)
        return {};
    if (m_next >= m_frameCount)
        restart();
    const ApngFrame& frame = m_structure.frames[size_t(m_next)];
    const QImage pixels = decodeFrame(frame);
    if (pixels.isNull()) {
        // Damage only found in the data: play what came before it.
        m_frameCount = m_next;
        if (m_frameCount == 0)
            return {};
        restart();
        return nextFrame();
    }
    if (m_dispose == ApngDispose::Background)
        clearRegion(m_canvas, m_disposeRect);
    else if (m_dispose == ApngDispose::Previous)
        copyInto(m_canvas, m_covered, m_disposeRect.topLeft());
    m_covered = QImage();
    m_disposeRect = frame.rect;
    m_dispose = frame.dispose;
    // Before the first frame there is only the cleared canvas to go back to.
    if (m_dispose == ApngDispose::Previous && m_next == 0)
        m_dispose = ApngDispose::Background;
    if (m_dispose == ApngDispose::Previous)
        m_covered = m_canvas.copy(frame.rect);
    if (frame.blend == ApngBlend::Over)
        blendInto(m_canvas, pixels, frame.rect.topLeft());
    else
        copyInto(m_canvas, pixels, frame.rect.topLeft());
    if (m_next == 0)
        m_canvas.setColorSpace(pixels.colorSpace());
    m_delayMs = shownDelayMs(frame.delayMs);
    ++m_next;
    return m_canvas;
}

QImage ApngDecoder::decodeFrame(const ApngFrame& frame)
{
    QBuffer buffer;
    buffer.setData(frameStream(frame));
    if (buffer.data().isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, "png");
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);
    QImage image;
    if (reader.size() != frame.rect.size() || !reader.read(&image) ||
        image.size() != frame.rect.size())
        return {};
    return image.convertToFormat(QImage::Format_ARGB32);
}

// A PNG of the frame alone: the file's header at the frame's size, the chunks that say how to
// read its pixels, and its data as IDAT. Data whose CRC is wrong fails as libpng would fail it.
QByteArray ApngDecoder::frameStream(const ApngFrame& frame)
{
    QByteArray header = m_structure.header;
    for (int i = 0; i < 4; ++i) {
        header[i] = char(frame.rect.width() >> (24 - 8 * i));
        header[4 + i] = char(frame.rect.height() >> (24 - 8 * i));
    }
    QByteArray stream = kPngSignature;
    appendPngChunk(stream, "IHDR", header.constData(), header.size());
    stream += m_structure.decodingChunks;
    const size_t end = std::min(frame.firstChunk + frame.chunkCount, m_structure.chunks.size());
    for (size_t i = frame.firstChunk; i < end; ++i) {
        const ApngDataChunk& chunk = m_structure.chunks[i];
        const qint64 length = chunk.length;
        const QByteArray whole =
            m_device->seek(chunk.start) ? readExactly(*m_device, 12 + length) : QByteArray();
        if (!pngChunkIntact(whole))
            return {};
        const qsizetype skip = chunk.sequenced ? 4 : 0;
        appendPngChunk(stream, "IDAT", whole.constData() + 8 + skip, length - skip);
    }
    appendPngChunk(stream, "IEND", nullptr, 0);
    return stream;
}

} // namespace imaging::detail
