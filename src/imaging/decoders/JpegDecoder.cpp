#include "imaging/decoders/JpegDecoder.h"

#include "imaging/ImageService.h"

#include "imaging/support/ByteReading.h"
#include "imaging/checks/ContainerChecks.h"
#include "imaging/decoders/QtDecoder.h"
#include "imaging/metadata/ExifOrientation.h"
#include "imaging/support/ImageBuffer.h"

#include <QColorSpace>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <jerror.h>
#include <jpeglib.h>

namespace imaging::detail {

namespace {

constexpr size_t kReadChunk = 256 * 1024;
// Rows decoded at a time: one strip for the turned orientations, a check for cancellation.
constexpr int kStripRows = 16;

#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
constexpr J_COLOR_SPACE kRgb32Layout = JCS_EXT_BGRA;
#else
constexpr J_COLOR_SPACE kRgb32Layout = JCS_EXT_ARGB;
#endif

// Opaque colour is kept at three bytes a pixel: a quarter less memory for every photo held.
struct Rgb24 {
    uchar rgb[3];
};
static_assert(sizeof(Rgb24) == 3);

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    bool endedEarly;
    // The rows given out before the data ran out: the ones read from the file.
    int rowsRead;
};

[[noreturn]] void leaveOnError(j_common_ptr cinfo)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

void noteMessage(j_common_ptr cinfo, int level)
{
    // Of the warnings only one matters: the data ran out, so the picture would be partly grey.
    auto* error = reinterpret_cast<ErrorManager*>(cinfo->err);
    if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF && !error->endedEarly) {
        error->endedEarly = true;
        error->rowsRead =
            cinfo->is_decompressor
                ? int(reinterpret_cast<j_decompress_ptr>(cinfo)->output_scanline)
                : 0;
    }
}

// The file read in large chunks. At its end, like libjpeg's own source, an end marker is fed
// and the early end is warned of.
struct FileSource {
    jpeg_source_mgr base;
    int fd;
    JOCTET* buffer;
};

void initSource(j_decompress_ptr) {}

void termSource(j_decompress_ptr) {}

boolean fillInput(j_decompress_ptr cinfo)
{
    auto* source = reinterpret_cast<FileSource*>(cinfo->src);
    ssize_t n;
    do {
        n = ::read(source->fd, source->buffer, kReadChunk);
    } while (n < 0 && errno == EINTR);
    if (n <= 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
        source->base.next_input_byte = kEnd;
        source->base.bytes_in_buffer = 2;
        return TRUE;
    }
    source->base.next_input_byte = source->buffer;
    source->base.bytes_in_buffer = size_t(n);
    return TRUE;
}

void skipInput(j_decompress_ptr cinfo, long count)
{
    auto* source = reinterpret_cast<FileSource*>(cinfo->src);
    if (count <= 0)
        return;
    if (size_t(count) <= source->base.bytes_in_buffer) {
        source->base.next_input_byte += count;
        source->base.bytes_in_buffer -= size_t(count);
        return;
    }
    // Past the buffer: seek, and let the next read find the data or the end.
    ::lseek(source->fd, off_t(count - long(source->base.bytes_in_buffer)), SEEK_CUR);
    source->base.bytes_in_buffer = 0;
}

// The smallest DCT reduction (of 1/8, 1/4, 1/2) whose image still covers the upright image
// fitted into `within`; 8 (no reduction) otherwise. Sizes are as stored.
unsigned scaleEighths(const QSize& stored, bool turned, QSize within)
{
    if (within.isEmpty())
        return 8;
    if (turned)
        within.transpose();
    const double fit = std::min(
        {double(within.width()) / stored.width(), double(within.height()) / stored.height(), 1.0});
    const double neededW = std::ceil(stored.width() * fit);
    const double neededH = std::ceil(stored.height() * fit);
    for (const unsigned eighths : {1u, 2u, 4u}) {
        if (std::ceil(stored.width() * eighths / 8.0) >= neededW &&
            std::ceil(stored.height() * eighths / 8.0) >= neededH)
            return eighths;
    }
    return 8;
}

// Writes decoded rows [first, first + rows) of a w x h picture to their place in the upright
// image of an orientation from 5 to 8, which is h pixels wide.
template <typename Pixel>
void placeTurnedRows(QImage& upright, const uchar* strip, int first, int rows, int w, int h,
                     int orientation)
{
    uchar* const bits = upright.bits();
    const qsizetype stride = upright.bytesPerLine();
    const bool flipRows = orientation == 6 || orientation == 7;    // row y lands in column h-1-y
    const bool flipColumns = orientation == 7 || orientation == 8; // column x lands in row w-1-x
    for (int x = 0; x < w; ++x) {
        auto* line = reinterpret_cast<Pixel*>(bits + stride * (flipColumns ? w - 1 - x : x));
        for (int r = 0; r < rows; ++r) {
            const int y = first + r;
            line[flipRows ? h - 1 - y : y] =
                reinterpret_cast<const Pixel*>(strip + qsizetype(r) * w * sizeof(Pixel))[x];
        }
    }
}

std::optional<int> orientationOf(j_decompress_ptr cinfo)
{
    for (jpeg_saved_marker_ptr m = cinfo->marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1)
            continue;
        const QByteArray data =
            QByteArray::fromRawData(reinterpret_cast<const char*>(m->data), m->data_length);
        if (data.startsWith(QByteArray("Exif\0\0", 6)))
            return orientationInApp1(data).value;
    }
    return std::nullopt;
}

// The JPEG stream that attachSource gives the decompressor, decoded as decodeJpeg says.
// Travels with the picture through every cache that keeps it.
const QString kIncompleteKey = QStringLiteral("Pelu.Incomplete");

void markIncomplete(QImage& image)
{
    image.setText(kIncompleteKey, QStringLiteral("1"));
}

// Rows the file did not hold, in a neutral grey rather than libjpeg's guess.
void fillUnread(JSAMPROW row, int width, int bytesPerPixel)
{
    if (bytesPerPixel == 4)
        std::fill_n(reinterpret_cast<quint32*>(row), width, 0xFF808080u);
    else
        std::fill_n(row, size_t(width) * bytesPerPixel, JSAMPLE(0x80));
}

// keepPartial: a file whose data ends early gives the rows it holds, the picture marked
// incomplete (markIncomplete), rather than nothing; not when no row was read.
std::optional<QImage> decodeStream(const std::function<void(j_decompress_ptr)>& attachSource,
                                   const DecodeOptions& options, bool* handled,
                                   bool keepPartial = false)
{
    *handled = true;
    // Everything that lives across the jump back from an error is made before it.
    jpeg_decompress_struct cinfo{};
    ErrorManager error{};
    std::vector<uchar> strip;
    QImage image;
    QColorSpace space;
    volatile bool headerRead = false;
    int orientation = 1;

    cinfo.err = jpeg_std_error(&error.base);
    error.base.error_exit = leaveOnError;
    error.base.emit_message = noteMessage;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&cinfo);
        // A header libjpeg cannot read goes to Qt, which says the last word; damage further in
        // is refused here.
        *handled = headerRead;
        return std::nullopt;
    }
    jpeg_create_decompress(&cinfo);
    attachSource(&cinfo);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&cinfo, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);
    headerRead = true;

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool colour = cinfo.jpeg_color_space == JCS_YCbCr || cinfo.jpeg_color_space == JCS_RGB;
    const bool refused = !withinPixelBudget(cinfo.image_width, cinfo.image_height);
    if (refused || !(grey || colour) || cinfo.data_precision != 8) {
        jpeg_destroy_decompress(&cinfo);
        *handled = refused;
        return std::nullopt;
    }
    if (options.upright)
        orientation = orientationOf(&cinfo).value_or(1);
    JOCTET* profile = nullptr;
    unsigned profileLength = 0;
    if (jpeg_read_icc_profile(&cinfo, &profile, &profileLength)) {
        space = QColorSpace::fromIccProfile(
            QByteArray(reinterpret_cast<const char*>(profile), qsizetype(profileLength)));
        std::free(profile);
    }

    const bool turned = orientation >= 5;
    const QSize within = !options.bounds.isEmpty() ? options.bounds
                         : options.boundingSize > 0
                             ? QSize(options.boundingSize, options.boundingSize)
                             : QSize();
    const QSize stored(int(cinfo.image_width), int(cinfo.image_height));
    cinfo.scale_num = scaleEighths(stored, turned, within);
    cinfo.scale_denom = 8;
    if (options.fullSize && cinfo.scale_num < 8)
        *options.fullSize = turned ? stored.transposed() : stored;
    // Qt brings only 32-bit pixels to sRGB in place; 24-bit ones it converts through a
    // second full-size copy, several times slower.
    const bool wide = !grey && needsScreenConversion(space, options);
    cinfo.out_color_space = grey ? JCS_GRAYSCALE : wide ? kRgb32Layout : JCS_EXT_RGB;
    jpeg_calc_output_dimensions(&cinfo);
    const int w = int(cinfo.output_width);
    const int h = int(cinfo.output_height);
    const QImage::Format format = grey   ? QImage::Format_Grayscale8
                                  : wide ? QImage::Format_RGB32
                                         : QImage::Format_RGB888;
    image = turned ? newImage(h, w, format) : newImage(w, h, format);
    if (image.isNull())
        longjmp(error.jump, 1);

    jpeg_start_decompress(&cinfo);
    const int bytesPerPixel = grey ? 1 : wide ? 4 : 3;
    if (turned)
        strip.resize(size_t(w) * bytesPerPixel * kStripRows);
    uchar* const bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    JSAMPROW rows[kStripRows];
    while (int(cinfo.output_scanline) < h) {
        if (options.cancelled && options.cancelled->load(std::memory_order_relaxed))
            longjmp(error.jump, 1);
        const int first = int(cinfo.output_scanline);
        const int count = std::min(kStripRows, h - first);
        for (int i = 0; i < count; ++i) {
            rows[i] = turned ? strip.data() + qsizetype(i) * w * bytesPerPixel
                             : bits + stride * (first + i);
        }
        for (int done = 0; done < count;)
            done += int(jpeg_read_scanlines(&cinfo, rows + done, JDIMENSION(count - done)));
        for (int i = 0; error.endedEarly && i < count; ++i) {
            if (first + i >= error.rowsRead)
                fillUnread(rows[i], w, bytesPerPixel);
        }
        if (turned && grey)
            placeTurnedRows<uchar>(image, strip.data(), first, count, w, h, orientation);
        else if (turned && !wide)
            placeTurnedRows<Rgb24>(image, strip.data(), first, count, w, h, orientation);
        else if (turned)
            placeTurnedRows<quint32>(image, strip.data(), first, count, w, h, orientation);
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    if (error.endedEarly && (!keepPartial || error.rowsRead <= 0))
        return std::nullopt;

    // The mirrored orientations and the half turn, in place.
    if (orientation >= 2 && orientation <= 4)
        image.mirror(orientation != 4, orientation != 2);
    if (space.isValid())
        image.setColorSpace(space);
    convertForScreen(image, options);
    // After the conversion, which makes a new image without the old one's texts.
    if (error.endedEarly)
        markIncomplete(image);
    return image;
}

} // namespace

std::optional<QImage> decodeJpeg(const QString& path, const DecodeOptions& options, bool* handled)
{
    *handled = true;
    // A header claiming far more pixels than the data could hold is refused before allocating.
    if (!containerIsSound(path, ImageType::Jpeg))
        return std::nullopt;
    const int fd = ::open(nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    FileSource source{};
    std::vector<JOCTET> buffer(kReadChunk);
    source.fd = fd;
    source.buffer = buffer.data();
    source.base.init_source = initSource;
    source.base.fill_input_buffer = fillInput;
    source.base.skip_input_data = skipInput;
    source.base.resync_to_restart = jpeg_resync_to_restart;
    source.base.term_source = termSource;
    std::optional<QImage> image = decodeStream(
        [&source](j_decompress_ptr cinfo) { cinfo->src = &source.base; }, options, handled,
        true);
    ::close(fd);
    return image;
}

std::optional<QImage> decodeJpegFile(const QString& path, ImageType type,
                                     const DecodeOptions& options)
{
    bool handled = false;
    std::optional<QImage> image = decodeJpeg(path, options, &handled);
    return handled ? image : decodeWithQt(path, type, options);
}

std::optional<QImage> decodeJpegData(const QByteArray& data, const DecodeOptions& options)
{
    if (data.isEmpty())
        return std::nullopt;
    bool handled = true;
    return decodeStream(
        [&data](j_decompress_ptr cinfo) {
            jpeg_mem_src(cinfo, reinterpret_cast<const unsigned char*>(data.constData()),
                         static_cast<unsigned long>(data.size()));
        },
        options, &handled);
}

} // namespace imaging::detail

namespace imaging {

bool isIncomplete(const QImage& image)
{
    return !image.text(detail::kIncompleteKey).isEmpty();
}

} // namespace imaging
