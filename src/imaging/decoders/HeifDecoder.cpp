#include "imaging/decoders/HeifDecoder.h"

#include "imaging/support/ByteReading.h"
#include "imaging/ImageTypes.h"

#include <QColorSpace>

#include "imaging/decoders/HeifColour.h"
#include "imaging/decoders/HeifLibrary.h"

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

namespace imaging::detail {

namespace {

// Only reached once heifLibrary() has been checked.
const HeifLibrary& heif()
{
    return *heifLibrary();
}

using ContextPtr = std::unique_ptr<heif_context, decltype(&heif_context_free)>;
using HandlePtr = std::unique_ptr<const heif_image_handle, decltype(&heif_image_handle_release)>;
using ImagePtr = std::unique_ptr<const heif_image, decltype(&heif_image_release)>;

// libheif checks every 'ispe' against this while reading; our own budget applies after.
constexpr int kMaxSide = 65535;

struct PrimaryImage {
    ContextPtr context{nullptr, heif().heif_context_free};
    HandlePtr handle{nullptr, heif().heif_image_handle_release};
};

std::optional<PrimaryImage> openPrimary(const QString& path)
{
    ensureLibrariesReady();
    if (!heifLibrary())
        return std::nullopt;
    PrimaryImage primary;
    primary.context.reset(heif().heif_context_alloc());
    if (!primary.context)
        return std::nullopt;
    heif_context* context = primary.context.get();
    heif().heif_context_set_maximum_image_size_limit(context, kMaxSide);
    if (heif().heif_context_read_from_file(context, nativePath(path).constData(), nullptr).code !=
        heif_error_Ok)
        return std::nullopt;
    heif_image_handle* handle = nullptr;
    if (heif().heif_context_get_primary_image_handle(context, &handle).code != heif_error_Ok ||
        !handle)
        return std::nullopt;
    primary.handle.reset(handle);
    const int ispeWidth = heif().heif_image_handle_get_ispe_width(handle);
    const int ispeHeight = heif().heif_image_handle_get_ispe_height(handle);
    if (!withinPixelBudget(heif().heif_image_handle_get_width(handle),
                           heif().heif_image_handle_get_height(handle)) ||
        !withinPixelBudget(ispeWidth, ispeHeight))
        return std::nullopt;
    // A grid is allocated at the size its own box declares, which may lie about the 'ispe'
    // we checked: hold every side near the checked one, leaving room for the codec's padding
    // of coded images to whole blocks. libheif also caps the pixels one decode produces at
    // the square of the limit, and the colour and alpha planes both count.
    constexpr qint64 kCodedPadding = 256;
    const qint64 paddedPixels = (ispeWidth + kCodedPadding) * (ispeHeight + kCodedPadding);
    const qint64 side = std::max<qint64>(std::max(ispeWidth, ispeHeight) + kCodedPadding,
                                         qint64(std::ceil(std::sqrt(2.0 * double(paddedPixels)))));
    heif().heif_context_set_maximum_image_size_limit(context,
                                                     int(std::min<qint64>(side, kMaxSide)));
    return primary;
}

// The first Exif block, without the offset word that HEIF puts before the TIFF header.
QByteArray exifOf(const heif_image_handle* handle)
{
    constexpr size_t kMaxExifBytes = 16 * 1024 * 1024;
    heif_item_id id = 0;
    if (heif().heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1)
        return {};
    const size_t size = heif().heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > kMaxExifBytes)
        return {};
    QByteArray block(qsizetype(size), Qt::Uninitialized);
    if (heif().heif_image_handle_get_metadata(handle, id, block.data()).code != heif_error_Ok)
        return {};
    const quint32 offset = readBigEndian32(block, 0);
    return offset < size - 4 ? block.mid(4 + offset) : QByteArray();
}

} // namespace

std::optional<HeifInfo> readHeifInfo(const QString& path)
{
    const std::optional<PrimaryImage> primary = openPrimary(path);
    if (!primary)
        return std::nullopt;
    const heif_image_handle* handle = primary->handle.get();
    return HeifInfo{heif().heif_image_handle_get_width(handle),
                    heif().heif_image_handle_get_height(handle),
                    std::max(heif().heif_image_handle_get_luma_bits_per_pixel(handle), 1),
                    heif().heif_image_handle_has_alpha_channel(handle) != 0, exifOf(handle)};
}

// libaom for AV1 where it is installed: dav1d prints to the terminal and leaks on damaged
// data, and was no faster here.
const char* av1Decoder()
{
    static const char* const chosen = [] {
        const heif_decoder_descriptor* found[8] = {};
        const int count = heif().heif_get_decoder_descriptors(heif_compression_AV1, found, 8);
        for (int i = 0; i < count; ++i) {
            const char* id = heif().heif_decoder_descriptor_get_id_name(found[i]);
            if (id && std::strcmp(id, "aom") == 0)
                return "aom";
        }
        return static_cast<const char*>(nullptr);
    }();
    return chosen;
}

namespace {

// The 8-bit pixels libheif delivers as an image of that colour space: RGB32 where they are
// to be converted, which Qt converts fastest.
QImage copyPixels(const uint8_t* data, int stride, int width, int height, bool alpha,
                  bool premultiplied, bool convert)
{
    const QImage::Format format = alpha ? premultiplied ? QImage::Format_RGBA8888_Premultiplied
                                                        : QImage::Format_RGBA8888
                                  : convert ? QImage::Format_RGB32
                                            : QImage::Format_RGB888;
    QImage image(width, height, format);
    if (image.isNull())
        return image;
    const qsizetype rowBytes = qsizetype(width) * (alpha ? 4 : 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = data + qsizetype(y) * stride;
        if (format != QImage::Format_RGB32) {
            std::memcpy(image.scanLine(y), in, size_t(rowBytes));
            continue;
        }
        auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[0], in[1], in[2]);
    }
    return image;
}

// One image of the file (the primary picture or its thumbnail), as 8-bit RGB(A) with the
// colour profile attached, for the screen when the options say so; HDR pictures are decoded
// at full depth and tone-mapped then. fallback stands in when the image names no colour of
// its own.
std::optional<QImage> decodeHandle(const heif_image_handle* handle, const QString& path,
                                   const DecodeOptions& options, const HeifColour& fallback = {})
{
    const bool alpha = heif().heif_image_handle_has_alpha_channel(handle) != 0;
    std::unique_ptr<heif_decoding_options, decltype(&heif_decoding_options_free)> decoding(
        heif().heif_decoding_options_alloc(), heif().heif_decoding_options_free);
    if (!decoding)
        return std::nullopt;
    // Read before decoding, so a profile that comes with an error is freed whatever the pixels do.
    HeifColour colour = heifColourOf(handle);
    if (!colour.isKnown())
        colour = fallback;
    const bool toneMap = colour.hdr && options.forScreen;
    // Full depth for the tone map; an 8-bit HDR picture comes as it is.
    const bool deep = toneMap && heif().heif_image_handle_get_luma_bits_per_pixel(handle) > 8;
    decoding->ignore_transformations = options.upright ? 0 : 1;
    decoding->convert_hdr_to_8bit = deep ? 0 : 1;
    if (detectImageType(path) == ImageType::Avif)
        decoding->decoder_id = av1Decoder();
    const heif_chroma chroma = deep    ? alpha ? heif_chroma_interleaved_RRGGBBAA_LE
                                               : heif_chroma_interleaved_RRGGBB_LE
                               : alpha ? heif_chroma_interleaved_RGBA
                                       : heif_chroma_interleaved_RGB;
    heif_image* decoded = nullptr;
    const heif_error error =
        heif().heif_decode_image(handle, &decoded, heif_colorspace_RGB, chroma, decoding.get());
    const ImagePtr result(decoded, heif().heif_image_release);
    if (error.code != heif_error_Ok || !decoded)
        return std::nullopt;

    int stride = 0;
    const uint8_t* data =
        heif().heif_image_get_plane_readonly(decoded, heif_channel_interleaved, &stride);
    const int width = heif().heif_image_get_width(decoded, heif_channel_interleaved);
    const int height = heif().heif_image_get_height(decoded, heif_channel_interleaved);
    const qsizetype rowBytes = qsizetype(width) * (alpha ? 4 : 3) * (deep ? 2 : 1);
    if (!data || !withinPixelBudget(width, height) || stride < rowBytes)
        return std::nullopt;
    QImage image;
    if (toneMap) {
        image =
            toneMapHeif(decoded, data, stride, width, height, alpha, deep, *colour.hdr, options);
    } else {
        image = copyPixels(data, stride, width, height, alpha,
                           heif().heif_image_handle_is_premultiplied_alpha(handle) != 0,
                           needsScreenConversion(colour.space, options));
        image.setColorSpace(colour.space);
    }
    if (image.isNull())
        return std::nullopt;
    convertForScreen(image, options);
    return image;
}

// The thumbnail the file carries for its primary picture, when one is large enough for what
// the options ask (any size for a stand-in) and has the picture's shape: a thumbnail turned
// or cropped otherwise than the picture is not a reduced copy of it. Where the picture is
// cheap to decode, the thumbnail must also look like it.
std::optional<QImage> decodeThumbnail(const PrimaryImage& primary, const QString& path,
                                      const DecodeOptions& options)
{
    const heif_image_handle* handle = primary.handle.get();
    const QSize full(heif().heif_image_handle_get_width(handle),
                     heif().heif_image_handle_get_height(handle));
    const int needed = neededSide(options, full);
    if (!options.upright || full.isEmpty() || (needed == 0 && !options.standIn))
        return std::nullopt;
    std::array<heif_item_id, 4> ids{};
    const int count =
        heif().heif_image_handle_get_list_of_thumbnail_IDs(handle, ids.data(), int(ids.size()));
    HandlePtr best(nullptr, heif().heif_image_handle_release);
    QSize bestSize;
    for (int i = 0; i < std::min(count, int(ids.size())); ++i) {
        heif_image_handle* found = nullptr;
        if (heif().heif_image_handle_get_thumbnail(handle, ids[size_t(i)], &found).code !=
                heif_error_Ok ||
            !found)
            continue;
        HandlePtr thumbnail(found, heif().heif_image_handle_release);
        const QSize size(heif().heif_image_handle_get_width(found),
                         heif().heif_image_handle_get_height(found));
        const bool smaller = size.width() < full.width() && size.height() < full.height();
        if (smaller && hasShapeOf(size, full) &&
            qint64(size.width()) * size.height() > qint64(bestSize.width()) * bestSize.height()) {
            best = std::move(thumbnail);
            bestSize = size;
        }
    }
    if (!best || (!options.standIn && std::max(bestSize.width(), bestSize.height()) < needed))
        return std::nullopt;
    std::optional<QImage> image = decodeHandle(best.get(), path, options, heifColourOf(handle));
    if (!image || image->size() != bestSize)
        return std::nullopt;
    if (isCheapToDecode(full)) {
        const std::optional<QImage> picture = decodeHandle(handle, path, options);
        if (!picture || !looksAlike(*image, *picture))
            return std::nullopt;
    }
    if (options.fullSize)
        *options.fullSize = full;
    return image;
}

} // namespace

std::optional<QImage> decodeHeif(const QString& path, ImageType, const DecodeOptions& options)
{
    const std::optional<PrimaryImage> primary = openPrimary(path);
    if (!primary)
        return std::nullopt;
    if (options.carriedCopies) {
        if (std::optional<QImage> thumbnail = decodeThumbnail(*primary, path, options))
            return thumbnail;
    }
    return decodeHandle(primary->handle.get(), path, options);
}

} // namespace imaging::detail
