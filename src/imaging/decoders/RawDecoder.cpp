#include "imaging/decoders/RawDecoder.h"

#include <QColorSpace>

#include "imaging/metadata/ExifOrientation.h"
#include "imaging/pixels/Orientation.h"
#include "imaging/decoders/RawLibrary.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/decoders/RawPreview.h"

#include <bit>
#include <cstring>
#include <memory>

namespace imaging::detail {

namespace {

// LibRaw's flip code (dcraw's) as an Exif orientation value.
int orientationOfFlip(int flip)
{
    switch (flip) {
    case 1:
        return 2;
    case 2:
        return 4;
    case 3:
        return 3;
    case 4:
        return 5;
    case 5:
        return 8;
    case 6:
        return 6;
    case 7:
        return 7;
    default:
        return 1;
    }
}

// LibRaw's flip code for an Exif orientation value.
int flipOfOrientation(int orientation)
{
    for (int flip = 0; flip < 8; ++flip) {
        if (orientationOfFlip(flip) == orientation)
            return flip;
    }
    return 0;
}

// LibRaw reports damage through callbacks that would otherwise print to stderr.
struct OpenRaw {
    libraw_data_t* raw = nullptr;
    bool damaged = false;

    OpenRaw() = default;
    OpenRaw(const OpenRaw&) = delete;
    OpenRaw& operator=(const OpenRaw&) = delete;
    ~OpenRaw()
    {
        if (raw)
            rawLibrary()->libraw_close(raw);
    }
};

void noteDataError(void* damaged, const char*, const int)
{
    *static_cast<bool*>(damaged) = true;
}

void noteMemoryError(void* damaged, const char*, const char*)
{
    *static_cast<bool*>(damaged) = true;
}

// The file opened by LibRaw, its header read; null when LibRaw does not take it for raw.
std::unique_ptr<OpenRaw> openRaw(const QString& path)
{
    const RawLibrary* library = rawLibrary();
    if (!library)
        return nullptr;
    auto open = std::make_unique<OpenRaw>();
    open->raw = library->libraw_init(LIBRAW_OPTIONS_NONE);
    if (!open->raw)
        return nullptr;
    library->libraw_set_dataerror_handler(open->raw, noteDataError, &open->damaged);
    library->libraw_set_memerror_handler(open->raw, noteMemoryError, &open->damaged);
    if (library->libraw_open_file(open->raw, nativePath(path).constData()) != LIBRAW_SUCCESS ||
        open->damaged)
        return nullptr;
    // The file's own orientation entry, read as every other reader here reads it, so that a
    // rotation written into it turns the picture (LibRaw makes its own sense of odd values).
    const FoundOrientation stored = storedOrientation(path, ImageType::Tiff);
    if (stored.present)
        open->raw->sizes.flip = flipOfOrientation(stored.shown());
    return open;
}

// Opened and small enough to develop.
std::unique_ptr<OpenRaw> openRawWithinBudget(const QString& path)
{
    std::unique_ptr<OpenRaw> open = openRaw(path);
    if (!open)
        return nullptr;
    const libraw_image_sizes_t& sizes = open->raw->sizes;
    if (!withinPixelBudget(sizes.raw_width, sizes.raw_height) ||
        !withinPixelBudget(sizes.width, sizes.height))
        return nullptr;
    return open;
}

using DevelopedPtr = std::unique_ptr<libraw_processed_image_t, decltype(&libraw_dcraw_clear_mem)>;

// Of the previews whose shape is the picture's, the smallest that is enough for what the
// options ask, or for a stand-in the largest there is.
std::optional<RawPreview> choosePreview(const QList<RawPreview>& previews, int orientation,
                                        const QSize& full, int needed, bool standIn)
{
    std::optional<RawPreview> best;
    int bestSide = 0;
    for (const RawPreview& preview : previews) {
        const QSize upright = orientation >= 5 ? preview.size.transposed() : preview.size;
        const bool smaller = upright.width() < full.width() && upright.height() < full.height();
        if (!smaller || !hasShapeOf(upright, full))
            continue;
        const int side = std::max(upright.width(), upright.height());
        const bool enough = side >= needed, bestEnough = bestSide >= needed;
        if (!best || (enough && (!bestEnough || side < bestSide)) ||
            (!enough && !bestEnough && side > bestSide)) {
            best = preview;
            bestSide = side;
        }
    }
    if (!best || (!standIn && bestSide < needed))
        return std::nullopt;
    return best;
}

// The preview the camera stored in the file, turned as the picture is, when it has the
// picture's shape and is large enough for what the options ask (any size for a stand-in).
// Developing the sensor's data takes a second or more for a large photo.
std::optional<QImage> embeddedPreview(const QString& path, const OpenRaw& open,
                                      const DecodeOptions& options)
{
    const libraw_data_t* raw = open.raw;
    const int orientation = orientationOfFlip(raw->sizes.flip);
    const QSize stored(raw->sizes.width, raw->sizes.height);
    const QSize full = orientation >= 5 ? stored.transposed() : stored;
    const int needed = neededSide(options, full);
    if (!options.upright || full.isEmpty() || (needed == 0 && !options.standIn))
        return std::nullopt;
    const std::optional<RawPreview> chosen =
        choosePreview(findRawPreviews(path), orientation, full, needed, options.standIn);
    if (!chosen)
        return std::nullopt;
    std::optional<QImage> image = readRawPreview(path, *chosen, options);
    if (!image)
        return std::nullopt;
    *image = orientedImage(*image, orientation);
    if (!hasShapeOf(image->size(), full))
        return std::nullopt;
    if (isCheapToDecode(full)) {
        DecodeOptions check;
        check.carriedCopies = false;
        check.boundingSize = 1;
        const std::optional<QImage> developed = decodeRaw(path, check);
        if (!developed || !looksAlike(*image, *developed))
            return std::nullopt;
    }
    // A JPEG preview came through the JPEG decoder, converted for the screen already.
    if (!image->colorSpace().isValid() && !(options.screen && options.screen->holds(*image)))
        image->setColorSpace(QColorSpace::SRgb);
    convertForScreen(*image, options);
    if (options.fullSize)
        *options.fullSize = full;
    return image;
}

} // namespace

std::optional<RawInfo> readRawInfo(const QString& path)
{
    const std::unique_ptr<OpenRaw> open = openRawWithinBudget(path);
    if (!open)
        return std::nullopt;
    const libraw_data_t& data = *open->raw;
    const unsigned maximum = data.color.maximum;
    return RawInfo{data.sizes.width, data.sizes.height, orientationOfFlip(data.sizes.flip),
                   maximum > 0 ? int(std::bit_width(maximum)) : 16};
}

bool isRecognisedRaw(const QString& path)
{
    return openRaw(path) != nullptr;
}

std::optional<QImage> decodeRaw(const QString& path, const DecodeOptions& options)
{
    const std::unique_ptr<OpenRaw> open = openRawWithinBudget(path);
    if (!open)
        return std::nullopt;
    if (options.carriedCopies) {
        if (std::optional<QImage> preview = embeddedPreview(path, *open, options))
            return preview;
    }
    // A damaged or oversized preview says nothing of the sensor's data.
    open->damaged = false;
    resetSizeRefusal();
    const RawLibrary& library = *rawLibrary();
    libraw_data_t* raw = open->raw;
    libraw_output_params_t& params = raw->params;
    params.use_camera_wb = 1;
    params.output_color = 1; // sRGB primaries
    // The sRGB tone curve rather than LibRaw's default BT.709 one, so the sRGB tag holds.
    params.gamm[0] = 1 / 2.4;
    params.gamm[1] = 12.92;
    params.output_bps = 8;
    params.half_size = options.boundingSize > 0 ? 1 : 0;
    params.user_flip = options.upright ? raw->sizes.flip : 0;
    if (library.libraw_unpack(raw) != LIBRAW_SUCCESS || open->damaged)
        return std::nullopt;
    if (library.libraw_dcraw_process(raw) != LIBRAW_SUCCESS || open->damaged)
        return std::nullopt;
    int error = 0;
    const DevelopedPtr developed(library.libraw_dcraw_make_mem_image(raw, &error),
                                 library.libraw_dcraw_clear_mem);
    if (!developed || error != LIBRAW_SUCCESS || developed->type != LIBRAW_IMAGE_BITMAP ||
        developed->colors != 3 || developed->bits != 8)
        return std::nullopt;
    const int width = developed->width, height = developed->height;
    const qsizetype rowBytes = qsizetype(width) * 3;
    if (!withinPixelBudget(width, height) || qint64(developed->data_size) < rowBytes * height)
        return std::nullopt;
    QImage image(width, height, QImage::Format_RGB888);
    if (image.isNull())
        return std::nullopt;
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), developed->data + y * rowBytes, rowBytes);
    image.setColorSpace(QColorSpace::SRgb);
    convertForScreen(image, options);
    return image;
}

std::optional<QImage> decodeRawFile(const QString& path, ImageType, const DecodeOptions& options)
{
    std::optional<QImage> image = decodeRaw(path, options);
    if (!image && !isRecognisedRaw(path))
        image = decodeWithQt(path, ImageType::Tiff, options);
    return image;
}

} // namespace imaging::detail
