#include "imaging/decoders/JxlFrameReader.h"

#include "imaging/support/DecodeSupport.h"
#include "imaging/support/ImageBuffer.h"

#include <utility>

namespace imaging::detail {

namespace {

// The most pixels a byte of JPEG XL can stand for, with room to spare: a flat colour coded
// losslessly in the largest groups and upsampled 8 times, the cheapest libjxl 0.7 makes, took
// 133 bytes for 67 MP (500 K pixels a byte), most of it headers that do not grow with the size.
constexpr qint64 kPixelsPerByte = qint64(1) << 21;
// Each layer header is a few bytes: a file of millions is damage, and walking it would take long.
constexpr int kMaxLayers = 1 << 20;

bool plausible(qint64 pixels, qint64 bytes)
{
    return pixels / kPixelsPerByte <= bytes;
}

bool headerIsSound(const JxlBasicInfo& info, qint64 fileSize)
{
    return withinPixelBudget(info.xsize, info.ysize) &&
           plausible(qint64(info.xsize) * info.ysize, fileSize);
}

} // namespace

std::optional<JxlSurvey> surveyJxl(const QString& path)
{
    // Layer by layer, so a layer larger than the picture is seen before libjxl allocates it.
    const std::unique_ptr<JxlStream> stream =
        JxlStream::open(path, JXL_DEC_BASIC_INFO | JXL_DEC_FRAME, true, false);
    if (!stream)
        return std::nullopt;
    const JxlLibrary& api = stream->api();
    JxlSurvey survey;
    for (;;) {
        switch (stream->next()) {
        case JXL_DEC_BASIC_INFO:
            if (api.JxlDecoderGetBasicInfo(stream->decoder(), &survey.info) != JXL_DEC_SUCCESS ||
                !headerIsSound(survey.info, stream->fileSize()))
                return std::nullopt;
            break;
        case JXL_DEC_FRAME: {
            JxlFrameHeader header{};
            if (api.JxlDecoderGetFrameHeader(stream->decoder(), &header) != JXL_DEC_SUCCESS ||
                !withinPixelBudget(header.layer_info.xsize, header.layer_info.ysize) ||
                ++survey.layers > kMaxLayers)
                return std::nullopt;
            break;
        }
        case JXL_DEC_SUCCESS:
            // Damage past the first layer is found, and shown as such, by the decode.
            return survey;
        default:
            if (survey.layers > 0)
                return survey;
            return std::nullopt;
        }
    }
}

QSize deliveredSize(const JxlBasicInfo& info, bool upright)
{
    const bool turned = upright && info.orientation >= JXL_ORIENT_TRANSPOSE;
    return turned ? QSize(int(info.ysize), int(info.xsize))
                  : QSize(int(info.xsize), int(info.ysize));
}

JxlFrameReader::JxlFrameReader(const QString& path, bool upright, bool hdrSignal)
    : m_path(path), m_upright(upright), m_hdrSignal(hdrSignal)
{
}

bool JxlFrameReader::start(const std::atomic<bool>* cancelled)
{
    std::optional<JxlSurvey> survey = surveyJxl(m_path);
    if (!survey)
        return false;
    m_survey = std::move(*survey);
    constexpr int kEvents =
        JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME | JXL_DEC_FULL_IMAGE;
    m_stream = JxlStream::open(m_path, kEvents, !m_upright);
    if (!m_stream)
        return false;
    m_stream->setCancelFlag(cancelled);
    // Up to the colour encoding, which comes before any frame.
    for (;;) {
        const JxlDecoderStatus status = m_stream->next();
        if (!handleHeader(status))
            return false;
        if (status == JXL_DEC_COLOR_ENCODING)
            return true;
    }
}

// The events before a frame, again after each rewind. False on anything else.
bool JxlFrameReader::handleHeader(JxlDecoderStatus status)
{
    const JxlLibrary& api = m_stream->api();
    JxlDecoder* decoder = m_stream->decoder();
    if (status == JXL_DEC_BASIC_INFO) {
        JxlBasicInfo info{};
        // The header the survey checked, unless the file changed since. Applying the
        // orientation, libjxl gives the turned size.
        if (api.JxlDecoderGetBasicInfo(decoder, &info) != JXL_DEC_SUCCESS ||
            QSize(int(info.xsize), int(info.ysize)) != deliveredSize(m_survey.info, m_upright))
            return false;
        m_stream->fitThreads(info.xsize, info.ysize);
        return true;
    }
    if (status == JXL_DEC_COLOR_ENCODING) {
        m_colour = settleColour(api, decoder, m_survey.info);
        return true;
    }
    return false;
}

bool JxlFrameReader::prepareOutput(QImage& image)
{
    const bool signal = m_hdrSignal && m_colour.hdr.isHdr();
    const bool alpha = m_survey.info.alpha_bits > 0;
    const QImage::Format format = signal  ? QImage::Format_RGBA64
                                  : alpha ? QImage::Format_RGBA8888
                                          : QImage::Format_RGBX8888;
    const QSize size = deliveredSize(m_survey.info, m_upright);
    // Checked by the survey; again here, as the allocation follows.
    if (!withinPixelBudget(size.width(), size.height()))
        return false;
    image = newImage(size.width(), size.height(), format);
    if (image.isNull())
        return false;
    // Without an alpha channel libjxl fills the fourth with opaque, as RGBX wants.
    const JxlPixelFormat pixels{4, signal ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const JxlLibrary& api = m_stream->api();
    size_t needed = 0;
    return api.JxlDecoderImageOutBufferSize(m_stream->decoder(), &pixels, &needed) ==
               JXL_DEC_SUCCESS &&
           needed == size_t(image.sizeInBytes()) &&
           api.JxlDecoderSetImageOutBuffer(m_stream->decoder(), &pixels, image.bits(), needed) ==
               JXL_DEC_SUCCESS;
}

QImage JxlFrameReader::nextFrame(quint32* duration)
{
    if (!m_stream || m_failed)
        return {};
    QImage image;
    for (;;) {
        const JxlDecoderStatus status = m_stream->next();
        switch (status) {
        case JXL_DEC_FRAME: {
            JxlFrameHeader header{};
            if (m_stream->api().JxlDecoderGetFrameHeader(m_stream->decoder(), &header) !=
                JXL_DEC_SUCCESS) {
                m_failed = true;
                return {};
            }
            if (duration)
                *duration = header.duration;
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            if (!prepareOutput(image)) {
                m_failed = true;
                return {};
            }
            break;
        case JXL_DEC_FULL_IMAGE:
            if (image.isNull()) {
                m_failed = true;
                return {};
            }
            if (image.format() != QImage::Format_RGBA64)
                image.setColorSpace(m_colour.space);
            return image;
        case JXL_DEC_SUCCESS:
            return {};
        default:
            if (!handleHeader(status)) {
                m_failed = true;
                return {};
            }
        }
    }
}

bool JxlFrameReader::rewind()
{
    m_failed = !m_stream || !m_stream->rewind();
    return !m_failed;
}

} // namespace imaging::detail
