#include "imaging/decoders/JxlColour.h"

#include <optional>

namespace imaging::detail {

namespace {

constexpr size_t kMaxIccBytes = 16 * 1024 * 1024;

QByteArray iccOf(const JxlLibrary& api, JxlDecoder* decoder, JxlColorProfileTarget target)
{
    size_t size = 0;
    if (api.JxlDecoderGetICCProfileSize(decoder, nullptr, target, &size) != JXL_DEC_SUCCESS ||
        size == 0 || size > kMaxIccBytes)
        return {};
    QByteArray icc(qsizetype(size), Qt::Uninitialized);
    if (api.JxlDecoderGetColorAsICCProfile(decoder, nullptr, target,
                                           reinterpret_cast<uint8_t*>(icc.data()),
                                           size) != JXL_DEC_SUCCESS)
        return {};
    return icc;
}

// Only files whose colour is given as named primaries and curve have one.
std::optional<JxlColorEncoding> encodingOf(const JxlLibrary& api, JxlDecoder* decoder,
                                           JxlColorProfileTarget target)
{
    JxlColorEncoding encoding{};
    if (api.JxlDecoderGetColorAsEncodedProfile(decoder, nullptr, target, &encoding) !=
        JXL_DEC_SUCCESS)
        return std::nullopt;
    return encoding;
}

QPointF point(const double (&xy)[2])
{
    return {xy[0], xy[1]};
}

QColorSpace spaceOf(const JxlColorEncoding& encoding)
{
    auto transfer = QColorSpace::TransferFunction::SRgb;
    float gamma = 0.0f;
    if (encoding.transfer_function == JXL_TRANSFER_FUNCTION_LINEAR) {
        transfer = QColorSpace::TransferFunction::Linear;
    } else if (encoding.transfer_function == JXL_TRANSFER_FUNCTION_GAMMA && encoding.gamma > 0) {
        // libjxl gives the encoding exponent (0.45 for a display gamma of 2.2).
        transfer = QColorSpace::TransferFunction::Gamma;
        gamma = float(1.0 / encoding.gamma);
    } else if (encoding.transfer_function == JXL_TRANSFER_FUNCTION_DCI) {
        transfer = QColorSpace::TransferFunction::Gamma;
        gamma = 2.6f;
    } // BT.709 camera curves are shown as displays show them, like sRGB; PQ and HLG untouched.
    const bool d65 = encoding.white_point == JXL_WHITE_POINT_D65;
    if (encoding.color_space == JXL_COLOR_SPACE_GRAY ||
        (d65 && encoding.primaries == JXL_PRIMARIES_SRGB))
        return QColorSpace(QColorSpace::Primaries::SRgb, transfer, gamma);
    if (d65 && encoding.primaries == JXL_PRIMARIES_P3)
        return QColorSpace(QColorSpace::Primaries::DciP3D65, transfer, gamma);
    return QColorSpace(point(encoding.white_point_xy), point(encoding.primaries_red_xy),
                       point(encoding.primaries_green_xy), point(encoding.primaries_blue_xy),
                       transfer, gamma);
}

HdrSignal::Transfer hdrTransferOf(JxlTransferFunction transfer)
{
    switch (transfer) {
    case JXL_TRANSFER_FUNCTION_PQ:
        return HdrSignal::Transfer::Pq;
    case JXL_TRANSFER_FUNCTION_HLG:
        return HdrSignal::Transfer::Hlg;
    default:
        return HdrSignal::Transfer::None;
    }
}

} // namespace

JxlColour settleColour(const JxlLibrary& api, JxlDecoder* decoder, const JxlBasicInfo& info)
{
    if (!info.uses_original_profile &&
        !encodingOf(api, decoder, JXL_COLOR_PROFILE_TARGET_ORIGINAL)) {
        // For these libjxl delivers linear sRGB, which bands in 8 bits and clips a wide gamut.
        // Asked instead for the sRGB curve, with BT.2020 primaries unless the original's are
        // those of sRGB: wide enough for Adobe RGB, Display P3 and most of ProPhoto.
        const QColorSpace original =
            QColorSpace::fromIccProfile(iccOf(api, decoder, JXL_COLOR_PROFILE_TARGET_ORIGINAL));
        const bool narrow = original.primaries() == QColorSpace::Primaries::SRgb;
        JxlColorEncoding wanted{};
        wanted.color_space =
            info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
        wanted.white_point = JXL_WHITE_POINT_D65;
        wanted.primaries = narrow ? JXL_PRIMARIES_SRGB : JXL_PRIMARIES_2100;
        wanted.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
        wanted.rendering_intent = JXL_RENDERING_INTENT_RELATIVE;
        // Refused, the pixels stay as libjxl chose and are described as such below.
        api.JxlDecoderSetPreferredColorProfile(decoder, &wanted);
    }

    JxlColour colour;
    const std::optional<JxlColorEncoding> data =
        encodingOf(api, decoder, JXL_COLOR_PROFILE_TARGET_DATA);
    if (data && hdrTransferOf(data->transfer_function) != HdrSignal::Transfer::None) {
        HdrSignal& hdr = colour.hdr;
        hdr.transfer = hdrTransferOf(data->transfer_function);
        hdr.white = point(data->white_point_xy);
        hdr.red = point(data->primaries_red_xy);
        hdr.green = point(data->primaries_green_xy);
        hdr.blue = point(data->primaries_blue_xy);
        hdr.peakLuminance = info.intensity_target > 0 ? info.intensity_target : 0;
        colour.space = spaceOf(*data);
        return colour;
    }
    // Grey pixels come out as RGB: a grey profile would not describe them.
    if (info.num_color_channels != 1)
        colour.space =
            QColorSpace::fromIccProfile(iccOf(api, decoder, JXL_COLOR_PROFILE_TARGET_DATA));
    if (!colour.space.isValid() && data)
        colour.space = spaceOf(*data);
    return colour;
}

} // namespace imaging::detail
