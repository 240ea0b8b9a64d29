#include "imaging/DecodeSupport.h"

#include "imaging/RuntimeLibrary.h"

#include <QColorSpace>
#include <QFile>
#include <QImageReader>

#include <exiv2/exiv2.hpp>
#include <tiffio.h>

#include <algorithm>
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
            openRuntimeLibrary<TiffLibrary>("libtiff.so.6", [](TiffLibrary& api, auto lookup) {
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

QByteArray nativePath(const QString& path)
{
    return QFile::encodeName(path);
}

} // namespace imaging::detail
