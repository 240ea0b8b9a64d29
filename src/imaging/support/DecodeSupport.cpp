#include "imaging/support/DecodeSupport.h"

#include "base/RuntimeLibrary.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <exiv2/exiv2.hpp>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

namespace imaging::detail {

static_assert(TIFFLIB_MAJOR_VERSION == 4 && TIFFLIB_MINOR_VERSION >= 5,
              "libtiff 4.5 and later is opened as libtiff.so.6");

namespace {

// The two functions that set libtiff's handlers, the warning one and the error one.
struct TiffLibrary {
    PELU_FUNCTION_POINTER(TIFFSetWarningHandler)
    PELU_FUNCTION_POINTER(TIFFSetErrorHandler)
};

// Set when this thread refused a real size as too large since the last reset.
thread_local bool t_refusedForSize = false;
} // namespace

bool withinPixelBudget(qint64 width, qint64 height)
{
    const bool positive = width > 0 && height > 0;
    const bool within = positive && width <= kMaxPixels && height <= kMaxPixels / width;
    if (positive && !within)
        t_refusedForSize = true;
    return within;
}

void resetSizeRefusal()
{
    t_refusedForSize = false;
}

bool wasRefusedForSize()
{
    return t_refusedForSize;
}

int neededSide(const DecodeOptions& options, const QSize& full)
{
    if (options.boundingSize > 0)
        return std::min(options.boundingSize, std::max(full.width(), full.height()));
    if (options.bounds.isEmpty())
        return 0;
    const QSize fitted = full.scaled(options.bounds, Qt::KeepAspectRatio).boundedTo(full);
    return std::max(fitted.width(), fitted.height());
}

bool hasShapeOf(const QSize& copy, const QSize& full)
{
    if (copy.isEmpty() || full.isEmpty())
        return false;
    // Within 2 %: a reduced copy's sides are rounded.
    return std::abs(double(copy.width()) * full.height() - double(copy.height()) * full.width()) <=
           0.02 * double(full.width()) * copy.height();
}

bool isCheapToDecode(const QSize& full)
{
    constexpr qint64 kCheapPixels = 2'000'000;
    return qint64(full.width()) * full.height() <= kCheapPixels;
}

bool looksAlike(const QImage& copy, const QImage& picture)
{
    // A camera's rendering and a development differ by far less than this in the mean.
    constexpr int kMaxDifference = 64;
    constexpr int kSide = 32;
    const auto mean = [](const QImage& image) {
        const QImage small = image.scaled(kSide, kSide, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                                 .convertToFormat(QImage::Format_RGB32);
        std::array<qint64, 3> sum{};
        for (int y = 0; y < small.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(small.constScanLine(y));
            for (int x = 0; x < small.width(); ++x) {
                sum[0] += qRed(line[x]);
                sum[1] += qGreen(line[x]);
                sum[2] += qBlue(line[x]);
            }
        }
        const qint64 count = std::max<qint64>(1, qint64(small.width()) * small.height());
        return std::array<qint64, 3>{sum[0] / count, sum[1] / count, sum[2] / count};
    };
    if (copy.isNull() || picture.isNull())
        return false;
    const std::array<qint64, 3> a = mean(copy), b = mean(picture);
    for (int i = 0; i < 3; ++i) {
        if (std::abs(a[size_t(i)] - b[size_t(i)]) > kMaxDifference)
            return false;
    }
    return true;
}

void ensureLibrariesReady()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Room for a full-size image at 16 bits per channel with alpha; our own pixel check
        // refuses anything larger before Qt allocates.
        constexpr qint64 kBytesPerPixel = 8;
        QImageReader::setAllocationLimit(int(kMaxPixels * kBytesPerPixel / (1024 * 1024) + 1));
        // exiv2 reports damage on stderr; the viewer logs nothing.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        // The XMP toolkit must be initialised once before threads parse XMP packets.
        Exiv2::XmpParser::initialize();
    });
}

void quietTiffLibrary()
{
    // The library Qt's TIFF plugin links, opened by the same name: the one instance.
    [[maybe_unused]] static const bool quieted = [] {
        const TiffLibrary* tiff =
            base::openRuntimeLibrary<TiffLibrary>("libtiff.so.6", [](TiffLibrary& api, auto lookup) {
                bool complete = true;
                PELU_RESOLVE(TIFFSetWarningHandler)
                PELU_RESOLVE(TIFFSetErrorHandler)
                return complete;
            });
        if (tiff) {
            tiff->TIFFSetWarningHandler(nullptr);
            tiff->TIFFSetErrorHandler(nullptr);
        }
        return tiff != nullptr;
    }();
}

void convertToSrgb(QImage& image)
{
    const QColorSpace space = image.colorSpace();
    if (!space.isValid() || space == QColorSpace(QColorSpace::SRgb))
        return;
    // Qt converts only colour images; grey and CMYK profiles stay as decoded.
    if (image.format() == QImage::Format_Grayscale8 || image.format() == QImage::Format_Grayscale16)
        return;
    image.convertToColorSpace(QColorSpace::SRgb);
}

void convertForScreen(QImage& image, const DecodeOptions& options)
{
    if (!options.forScreen)
        return;
    if (options.screen)
        options.screen->convert(image);
    else
        convertToSrgb(image);
}

bool needsScreenConversion(const QColorSpace& space, const DecodeOptions& options)
{
    if (!options.forScreen)
        return false;
    if (options.screen)
        return true;
    return space.isValid() && space != QColorSpace(QColorSpace::SRgb);
}

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace imaging::detail
