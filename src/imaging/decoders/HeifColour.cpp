#include "imaging/decoders/HeifColour.h"

#include "imaging/decoders/HeifLibrary.h"

#include <QByteArray>
#include <QPointF>
#include <QtEndian>

#include <algorithm>
#include <memory>
#include <vector>

namespace imaging::detail {

namespace {

constexpr size_t kMaxIccBytes = 16 * 1024 * 1024;

const HeifLibrary& heif()
{
    return *heifLibrary();
}

std::pair<QColorSpace::TransferFunction, float> transferOf(heif_transfer_characteristics transfer)
{
    switch (transfer) {
    case heif_transfer_characteristic_linear:
        return {QColorSpace::TransferFunction::Linear, 0.0f};
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
        return {QColorSpace::TransferFunction::Gamma, 2.2f};
    case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
        return {QColorSpace::TransferFunction::Gamma, 2.8f};
    default:
        // sRGB and the BT.709/601/2020 camera curves, shown as displays show them; PQ and HLG
        // when their pixels are read as stored, at 8 bits and not tone-mapped.
        return {QColorSpace::TransferFunction::SRgb, 0.0f};
    }
}

QColorSpace nclxColorSpace(const heif_color_profile_nclx& nclx)
{
    const auto [transfer, gamma] = transferOf(nclx.transfer_characteristics);
    switch (nclx.color_primaries) {
    case heif_color_primaries_ITU_R_BT_709_5:
    case heif_color_primaries_unspecified:
        return QColorSpace(QColorSpace::Primaries::SRgb, transfer, gamma);
    case heif_color_primaries_SMPTE_EG_432_1:
        return QColorSpace(QColorSpace::Primaries::DciP3D65, transfer, gamma);
    default:
        // BT.2020, BT.601 and the rest: libheif gives the chromaticities.
        return QColorSpace(QPointF(nclx.color_primary_white_x, nclx.color_primary_white_y),
                           QPointF(nclx.color_primary_red_x, nclx.color_primary_red_y),
                           QPointF(nclx.color_primary_green_x, nclx.color_primary_green_y),
                           QPointF(nclx.color_primary_blue_x, nclx.color_primary_blue_y), transfer,
                           gamma);
    }
}

// The brightest light the picture says it holds: clli's maximum content light level, else
// the mastering display's peak; 0 when it says neither.
double peakNitsOf(const heif_image* image)
{
    if (heif().heif_image_has_content_light_level(image)) {
        heif_content_light_level level{};
        heif().heif_image_get_content_light_level(image, &level);
        if (level.max_content_light_level > 0)
            return level.max_content_light_level;
    }
    if (heif().heif_image_has_mastering_display_colour_volume(image)) {
        heif_mastering_display_colour_volume volume{};
        heif().heif_image_get_mastering_display_colour_volume(image, &volume);
        heif_decoded_mastering_display_colour_volume decoded{};
        if (heif().heif_mastering_display_colour_volume_decode(&volume, &decoded).code ==
            heif_error_Ok)
            return decoded.max_display_mastering_luminance;
    }
    return 0;
}

} // namespace

HeifColour heifColourOf(const heif_image_handle* handle)
{
    const heif_color_profile_type type = heif().heif_image_handle_get_color_profile_type(handle);
    if (type == heif_color_profile_type_prof || type == heif_color_profile_type_rICC) {
        const size_t size = heif().heif_image_handle_get_raw_color_profile_size(handle);
        if (size == 0 || size > kMaxIccBytes)
            return {};
        QByteArray icc(qsizetype(size), Qt::Uninitialized);
        if (heif().heif_image_handle_get_raw_color_profile(handle, icc.data()).code !=
            heif_error_Ok)
            return {};
        return {QColorSpace::fromIccProfile(icc), std::nullopt};
    }
    heif_color_profile_nclx* nclx = nullptr;
    const heif_error error = heif().heif_image_handle_get_nclx_color_profile(handle, &nclx);
    // libheif may hand over a profile together with an error (unknown primaries): ours to free.
    const std::unique_ptr<heif_color_profile_nclx, decltype(&heif_nclx_color_profile_free)> owned(
        nclx, heif().heif_nclx_color_profile_free);
    if (error.code != heif_error_Ok || !nclx)
        return {};
    // Encoders give a thumbnail a box that names nothing: the primary image's colour stands.
    if (nclx->color_primaries == heif_color_primaries_unspecified &&
        nclx->transfer_characteristics == heif_transfer_characteristic_unspecified)
        return {};
    // libheif applies the nclx range while converting to RGB: its samples are full range.
    std::optional<HdrSource> hdr =
        hdrSourceFromNclx(nclx->transfer_characteristics, nclx->color_primaries, true,
                          std::max(heif().heif_image_handle_get_luma_bits_per_pixel(handle), 8));
    return {hdr ? QColorSpace() : nclxColorSpace(*nclx), hdr};
}

QImage toneMapHeif(const heif_image* decoded, const uint8_t* data, int stride, int width,
                   int height, bool alpha, bool deep, HdrSource source,
                   const DecodeOptions& options)
{
    const int bits = heif().heif_image_get_bits_per_pixel_range(decoded, heif_channel_interleaved);
    source.bitDepth = deep ? std::clamp(bits, 9, 16) : 8;
    source.peakNits = peakNitsOf(decoded);
    const DisplayProfile* screen = options.screen.get();
    const std::optional<SdrTarget>* direct = screen ? &screen->hdrTarget() : nullptr;
    SdrTarget target;
    QColorSpace space(QColorSpace::SRgb);
    if (direct && *direct) {
        target = **direct;
        space = screen->colorSpace();
    } else if (screen) {
        target.fromBt2020 = primariesConversion(Primaries::Bt2020, Primaries::DisplayP3);
        space = QColorSpace(QColorSpace::DisplayP3);
    }
    const ToneMapper mapper(source, target);
    QImage image(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull())
        return image;
    // The tone map reads 16-bit samples: an 8-bit picture's rows are widened one at a time.
    const int samples = width * (alpha ? 4 : 3);
    std::vector<uint16_t> wide(deep ? 0 : size_t(samples));
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = data + qsizetype(y) * stride;
        if (!deep) {
            for (int i = 0; i < samples; ++i)
                wide[size_t(i)] = qToLittleEndian(uint16_t(row[i]));
            row = reinterpret_cast<const uint8_t*>(wide.data());
        }
        mapper.mapRow(row, width, alpha, image.scanLine(y), true);
    }
    image.setColorSpace(space);
    return image;
}

} // namespace imaging::detail
