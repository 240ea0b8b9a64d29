#include "imaging/ImageService.h"

#include "imaging/support/DecodeScope.h"
#include "imaging/support/DecodeSupport.h"
#include "imaging/decoders/Decoding.h"
#include "imaging/rotation/RewriteCheck.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <atomic>

namespace imaging {

namespace {

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

namespace detail {

DecodeCounts& decodeCounts()
{
    static DecodeCounts counts;
    return counts;
}

std::optional<QImage> decodeForDisplay(const QString& path, DecodeFailure* failure,
                                       const DecodeOptions& options)
{
    resetSizeRefusal();
    std::optional<QImage> image = decodeFile(path, options);
    if (failure) {
        if (image)
            *failure = DecodeFailure::none;
        else if (wasRefusedForSize())
            *failure = DecodeFailure::tooLarge;
        else
            *failure = classifyDecodeFailure(path);
    }
    return image;
}

} // namespace detail

std::optional<QImage> decodeImage(const QString& path, DecodeFailure* failure,
                                  const std::atomic<bool>* cancelled)
{
    detail::DecodeCounts& counts = detail::decodeCounts();
    counts.all.fetch_add(1, std::memory_order_relaxed);
    if (onMainThread())
        counts.onMainThread.fetch_add(1, std::memory_order_relaxed);
    detail::DecodeOptions options;
    options.cancelled = cancelled;
    return detail::decodeForDisplay(path, failure, options);
}

DecodeFailure classifyDecodeFailure(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return DecodeFailure::missing;
    if (!info.isFile())
        return DecodeFailure::unsupported;
    // Content we can't place in a file named like an image we read is a broken image.
    if (decoderFor(detectImageType(path)) == DecoderFamily::None)
        return typeForExtension(info.suffix()) == ImageType::Unknown ? DecodeFailure::unsupported
                                                                     : DecodeFailure::damaged;
    if (const std::optional<ImageProperties> properties = readImageProperties(path)) {
        if (properties->pixelWidth.value_or(0) > 0 && properties->pixelHeight.value_or(0) > 0 &&
            !detail::withinPixelBudget(*properties->pixelWidth, *properties->pixelHeight))
            return DecodeFailure::tooLarge;
    }
    return DecodeFailure::damaged;
}

std::optional<QImage> decodeAsStored(const QString& path)
{
    detail::DecodeOptions options;
    options.upright = false;
    options.forScreen = false;
    return detail::decodeFile(path, options);
}

bool writeRotatedFile(const QString& source, const QString& destination, int quarterTurns)
{
    const DecodeScope scope;
    const bool lossless = supportsLosslessRotation(detectImageType(source));
    const bool written = lossless ? writeRotatedOrientation(source, destination, quarterTurns)
                                  : writeRotatedPixels(source, destination, quarterTurns);
    if (!written)
        return false;
    // Read back before it may replace the only copy of the photo.
    if (detail::rewriteIsSound(source, destination, quarterTurns, lossless))
        return true;
    QFile::remove(destination);
    return false;
}

} // namespace imaging
