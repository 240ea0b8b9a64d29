#include "imaging/decoders/JxlDecoder.h"

#include "imaging/decoders/JxlFrameReader.h"
#include "imaging/support/ByteReading.h"

#include <algorithm>
#include <cstring>

namespace imaging::detail {

bool isJxl(const QByteArray& head)
{
    static constexpr char kContainer[] = "\x00\x00\x00\x0C"
                                         "JXL \x0D\x0A\x87\x0A";
    const QByteArray container = QByteArray::fromRawData(kContainer, sizeof(kContainer) - 1);
    return head.startsWith("\xFF\x0A") || head.startsWith(container);
}

std::optional<JxlInfo> readJxlInfo(const QString& path)
{
    const std::optional<JxlSurvey> survey = surveyJxl(path);
    if (!survey)
        return std::nullopt;
    const JxlBasicInfo& info = survey->info;
    JxlInfo result;
    result.width = int(info.xsize);
    result.height = int(info.ysize);
    result.bitDepth = int(std::max(info.bits_per_sample, 1u));
    result.grey = info.num_color_channels == 1;
    result.hasAlpha = info.alpha_bits > 0;
    result.orientation = int(info.orientation);
    result.animated = info.have_animation && survey->layers > 1;
    result.exif = readJxlExif(path);
    return result;
}

QByteArray readJxlExif(const QString& path)
{
    constexpr qsizetype kMaxExifBytes = 16 * 1024 * 1024;
    constexpr qsizetype kFirstGuess = 64 * 1024;
    const std::unique_ptr<JxlStream> stream = JxlStream::open(path, JXL_DEC_BOX, true);
    if (!stream)
        return {};
    const JxlLibrary& api = stream->api();
    JxlDecoder* decoder = stream->decoder();
    // Without Brotli compressed boxes keep their own type and are passed over.
    api.JxlDecoderSetDecompressBoxes(decoder, JXL_TRUE);
    QByteArray box;
    bool capturing = false;
    for (;;) {
        const JxlDecoderStatus status = stream->next();
        if (capturing && (status == JXL_DEC_BOX || status == JXL_DEC_SUCCESS)) {
            const size_t unused = api.JxlDecoderReleaseBoxBuffer(decoder);
            box.truncate(box.size() - qsizetype(std::min(unused, size_t(box.size()))));
            // The TIFF header follows an offset word.
            const quint32 offset = readBigEndian32(box, 0);
            return box.size() >= 4 && offset < quint32(box.size() - 4) ? box.mid(4 + offset)
                                                                       : QByteArray();
        }
        if (status == JXL_DEC_BOX) {
            JxlBoxType type{};
            if (api.JxlDecoderGetBoxType(decoder, type, JXL_TRUE) != JXL_DEC_SUCCESS ||
                std::memcmp(type, "Exif", 4) != 0)
                continue;
            uint64_t raw = 0;
            api.JxlDecoderGetBoxSizeRaw(decoder, &raw);
            if (raw > uint64_t(kMaxExifBytes))
                return {};
            box.resize(std::max(qsizetype(raw), kFirstGuess));
            if (api.JxlDecoderSetBoxBuffer(decoder, reinterpret_cast<uint8_t*>(box.data()),
                                           size_t(box.size())) != JXL_DEC_SUCCESS)
                return {};
            capturing = true;
        } else if (status == JXL_DEC_BOX_NEED_MORE_OUTPUT && capturing) {
            // Compressed: its size shows only as it unpacks.
            const size_t unused = api.JxlDecoderReleaseBoxBuffer(decoder);
            const qsizetype written = box.size() - qsizetype(std::min(unused, size_t(box.size())));
            if (box.size() * 2 > kMaxExifBytes)
                return {};
            box.resize(box.size() * 2);
            if (api.JxlDecoderSetBoxBuffer(decoder,
                                           reinterpret_cast<uint8_t*>(box.data() + written),
                                           size_t(box.size() - written)) != JXL_DEC_SUCCESS)
                return {};
        } else {
            return {};
        }
    }
}

std::optional<JxlPicture> decodeJxlPicture(const QString& path, const DecodeOptions& options,
                                           bool hdrSignal)
{
    JxlFrameReader reader(path, options.upright, hdrSignal);
    if (!reader.start(options.cancelled))
        return std::nullopt;
    JxlPicture picture;
    picture.image = reader.nextFrame();
    if (picture.image.isNull())
        return std::nullopt;
    picture.orientation = int(reader.survey().info.orientation);
    picture.hasAlpha = reader.survey().info.alpha_bits > 0;
    if (picture.image.format() == QImage::Format_RGBA64)
        picture.hdr = reader.colour().hdr;
    else
        convertForScreen(picture.image, options);
    return picture;
}

std::optional<QImage> decodeJxl(const QString& path, ImageType, const DecodeOptions& options)
{
    std::optional<JxlPicture> picture = decodeJxlPicture(path, options, true);
    if (!picture)
        return std::nullopt;
    if (!picture->hdr.isHdr())
        return std::move(picture->image);
    QImage mapped = HdrToSdr(picture->hdr).map(picture->image, picture->hasAlpha);
    if (mapped.isNull())
        return std::nullopt;
    convertForScreen(mapped, options);
    return mapped;
}

} // namespace imaging::detail
