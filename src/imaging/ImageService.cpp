#include "imaging/ImageService.h"

#include "imaging/DecodeScope.h"
#include "imaging/DecodeSupport.h"
#include "imaging/Decoding.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>

#include <atomic>

namespace imaging {

namespace {

std::atomic<quint64> g_decodes{0};
std::atomic<quint64> g_mainThreadDecodes{0};

bool onMainThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

} // namespace

std::optional<QImage> decodeImage(const QString& path, DecodeFailure* failure)
{
    g_decodes.fetch_add(1, std::memory_order_relaxed);
    if (onMainThread())
        g_mainThreadDecodes.fetch_add(1, std::memory_order_relaxed);
    detail::resetSizeRefusal();
    std::optional<QImage> image = detail::decodeFile(path, detail::DecodeOptions{});
    if (failure) {
        if (image)
            *failure = DecodeFailure::none;
        else if (detail::wasRefusedForSize())
            *failure = DecodeFailure::tooLarge;
        else
            *failure = classifyDecodeFailure(path);
    }
    return image;
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
    options.toSrgb = false;
    return detail::decodeFile(path, options);
}

quint64 decodeCount()
{
    return g_decodes.load(std::memory_order_relaxed);
}

quint64 mainThreadDecodeCount()
{
    return g_mainThreadDecodes.load(std::memory_order_relaxed);
}

bool writeRotatedFile(const QString& source, const QString& destination, int quarterTurns)
{
    const DecodeScope scope;
    if (supportsLosslessRotation(detectImageType(source)))
        return writeRotatedOrientation(source, destination, quarterTurns);
    return writeRotatedPixels(source, destination, quarterTurns);
}

} // namespace imaging
