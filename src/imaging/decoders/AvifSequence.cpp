#include "imaging/decoders/AvifSequence.h"

#include "imaging/colour/CicpColour.h"
#include "imaging/decoders/AvifLibrary.h"
#include "imaging/decoders/AvifTracks.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"
#include "imaging/support/ImageBuffer.h"

#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <memory>

namespace imaging::detail {

namespace {

constexpr size_t kMaxIccBytes = 16 * 1024 * 1024;
// As for HEIF: libavif refuses a track or frame with a longer side before decoding it.
constexpr uint32_t kMaxSide = 65535;

// Only reached once avifLibrary() has been checked.
const AvifLibrary& avif()
{
    return *avifLibrary();
}

HdrSignal::Transfer hdrTransferOf(int transfer)
{
    if (transfer == AVIF_TRANSFER_CHARACTERISTICS_SMPTE2084)
        return HdrSignal::Transfer::Pq;
    if (transfer == AVIF_TRANSFER_CHARACTERISTICS_HLG)
        return HdrSignal::Transfer::Hlg;
    return HdrSignal::Transfer::None;
}

// The file as libavif reads it, without telling its size: libavif 0.11 refuses a whole
// sequence whose sample table points past the end of the file, and a download cut short
// should still show the frames it holds. Reads are bounded by the file itself.
struct FileInput {
    QFile file;
    QByteArray buffer;

    static avifResult read(avifIO* io, uint32_t flags, uint64_t offset, size_t size,
                           avifROData* out)
    {
        constexpr size_t kMaxRead = size_t(256) << 20;
        auto* self = static_cast<FileInput*>(io->data);
        const quint64 length = quint64(self->file.size());
        if (flags != 0 || offset > length)
            return AVIF_RESULT_IO_ERROR;
        size = size_t(std::min<quint64>(size, length - offset));
        if (size > kMaxRead || !self->file.seek(qint64(offset)))
            return AVIF_RESULT_IO_ERROR;
        self->buffer.resize(qsizetype(size));
        const qint64 got = self->file.read(self->buffer.data(), qint64(size));
        if (got < 0)
            return AVIF_RESULT_IO_ERROR;
        out->data = reinterpret_cast<const uint8_t*>(self->buffer.constData());
        out->size = size_t(got);
        return AVIF_RESULT_OK;
    }

    static void destroy(avifIO* io)
    {
        delete static_cast<FileInput*>(io->data);
        delete io;
    }

    // Owned by the decoder it is given to; null when the file cannot be opened.
    static avifIO* open(const QString& path)
    {
        auto input = std::make_unique<FileInput>();
        input->file.setFileName(path);
        if (!input->file.open(QIODevice::ReadOnly) || input->file.isSequential())
            return nullptr;
        auto* io = new avifIO{};
        io->read = &FileInput::read;
        io->destroy = &FileInput::destroy;
        io->data = input.release();
        return io;
    }
};

} // namespace

void AvifSequence::DecoderDeleter::operator()(avifDecoder* decoder) const
{
    avif().avifDecoderDestroy(decoder);
}

AvifSequence::AvifSequence(const QString& path)
{
    const DecodeScope scope;
    ensureLibrariesReady();
    QFile file(path);
    if (!avifLibrary() || !file.open(QIODevice::ReadOnly) || file.isSequential() ||
        !isAvifSequence(file.read(256)))
        return;
    // libavif checks the track's size too, but a refusal of its own is not remembered as one.
    const AvifTrack track = readAvifTrack(file);
    if (!track.size.isEmpty() && !withinPixelBudget(track.size.width(), track.size.height()))
        return;
    m_loopCount = track.playCount;
    m_decoder.reset(avif().avifDecoderCreate());
    avifDecoder* decoder = m_decoder.get();
    if (!decoder)
        return;
    decoder->maxThreads = std::max(QThread::idealThreadCount(), 1);
    decoder->imageSizeLimit = uint32_t(kMaxPixels);
    decoder->imageDimensionLimit = kMaxSide;
    // What libavif is strict about (a missing 'pixi', an odd clean aperture) does not stop
    // the frames from decoding, and other readers show such files.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    // dav1d refuses a frame over imageSizeLimit before allocating it; libaom allocated 3.8 GB
    // for a 2 KB file whose sequence header claimed 16384 × 16384 (dav1d does print a line on
    // damaged data).
    decoder->codecChoice = AVIF_CODEC_CHOICE_DAV1D;
    avifIO* input = FileInput::open(path);
    if (!input) {
        m_decoder.reset();
        return;
    }
    avif().avifDecoderSetIO(decoder, input);
    if (avif().avifDecoderSetSource(decoder, AVIF_DECODER_SOURCE_TRACKS) != AVIF_RESULT_OK ||
        avif().avifDecoderParse(decoder) != AVIF_RESULT_OK || decoder->imageCount <= 0 ||
        !withinPixelBudget(decoder->image->width, decoder->image->height)) {
        m_decoder.reset();
        return;
    }
    m_size = QSize(int(decoder->image->width), int(decoder->image->height));
    m_frameCount = decoder->imageCount;
    settleColour();
}

AvifSequence::~AvifSequence() = default;

void AvifSequence::settleColour()
{
    const avifImage* image = m_decoder->image;
    m_colourSource = {int(image->colorPrimaries), int(image->transferCharacteristics),
                      image->icc.size};
    m_hdr = {};
    m_toSdr.reset();
    m_space = {};
    if (image->icc.size > 0 && image->icc.size <= kMaxIccBytes) {
        m_space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(image->icc.data), qsizetype(image->icc.size)));
        if (m_space.isValid())
            return;
    }
    float xy[8] = {};
    avif().avifColorPrimariesGetValues(image->colorPrimaries, xy);
    const QPointF red(xy[0], xy[1]), green(xy[2], xy[3]), blue(xy[4], xy[5]), white(xy[6], xy[7]);
    const HdrSignal::Transfer hdr = hdrTransferOf(image->transferCharacteristics);
    if (hdr != HdrSignal::Transfer::None) {
        m_hdr = {hdr, red, green, blue, white, 0.0f};
        m_toSdr.emplace(m_hdr);
    }
    m_space = cicpColorSpace(image->colorPrimaries, image->transferCharacteristics,
                             {white, red, green, blue});
}

QImage AvifSequence::convert()
{
    const avifImage* image = m_decoder->image;
    // Every frame has the track's size: another is damage, and the budget was checked for it.
    if (int(image->width) != m_size.width() || int(image->height) != m_size.height())
        return {};
    if (m_colourSource != ColourSource{int(image->colorPrimaries),
                                       int(image->transferCharacteristics), image->icc.size})
        settleColour();
    const bool signal = m_hdr.isHdr();
    const bool alpha = image->alphaPlane != nullptr;
    QImage frame = newImage(m_size.width(), m_size.height(),
                            signal  ? QImage::Format_RGBA64
                            : alpha ? QImage::Format_RGBA8888
                                    : QImage::Format_RGBX8888);
    if (frame.isNull())
        return {};
    avifRGBImage rgb;
    avif().avifRGBImageSetDefaults(&rgb, image);
    rgb.format = AVIF_RGB_FORMAT_RGBA;
    rgb.depth = signal ? 16 : 8;
    rgb.alphaPremultiplied = AVIF_FALSE;
    rgb.pixels = frame.bits();
    rgb.rowBytes = uint32_t(frame.bytesPerLine());
    if (avif().avifImageYUVToRGB(image, &rgb) != AVIF_RESULT_OK)
        return {};
    if (!signal)
        frame.setColorSpace(m_space);
    // Rotation first, then mirroring; the angle is counter-clockwise.
    if (image->transformFlags & AVIF_TRANSFORM_IROT)
        frame = turnedClockwise(frame, 4 - image->irot.angle % 4);
    if (image->transformFlags & AVIF_TRANSFORM_IMIR)
        frame = frame.mirrored(image->imir.mode == 1, image->imir.mode == 0);
    return frame;
}

QImage AvifSequence::decodeNext()
{
    if (m_next >= m_frameCount)
        m_next = 0;
    avifDecoder* decoder = m_decoder.get();
    // The first frame by seeking, which also starts over after a damaged frame.
    const avifResult result =
        m_next == 0 ? avif().avifDecoderNthImage(decoder, 0) : avif().avifDecoderNextImage(decoder);
    if (result != AVIF_RESULT_OK)
        return {};
    QImage frame = convert();
    if (frame.isNull())
        return frame;
    ++m_next;
    // NaN and the like count as no delay; anything longer than a day as a day.
    const double delay = decoder->imageTiming.duration * 1000.0;
    m_delayMs = shownDelayMs(delay > 0 ? std::lround(std::min(delay, 864e5)) : 0);
    return frame;
}

QImage AvifSequence::nextFrame()
{
    if (m_frameCount == 0)
        return {};
    const DecodeScope scope;
    const QImage frame = readOrEndOnDamage(m_frameCount, m_next, [this] { return decodeNext(); });
    return m_toSdr && !frame.isNull() ? m_toSdr->map(frame, m_decoder->image->alphaPlane != nullptr)
                                      : frame;
}

std::unique_ptr<FrameSource> openAvifFrames(const QString& path, ImageType)
{
    auto sequence = std::make_unique<AvifSequence>(path);
    return sequence->isAnimated() ? std::move(sequence) : nullptr;
}

} // namespace imaging::detail
