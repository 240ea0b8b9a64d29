#include "imaging/ImageService.h"

#include "imaging/Decoding.h"

#include <QCoreApplication>
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

std::optional<QImage> decodeImage(const QString& path)
{
    g_decodes.fetch_add(1, std::memory_order_relaxed);
    if (onMainThread())
        g_mainThreadDecodes.fetch_add(1, std::memory_order_relaxed);
    return detail::decodeFile(path, detail::DecodeOptions{});
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
    if (supportsLosslessRotation(detectImageType(source)))
        return writeRotatedOrientation(source, destination, quarterTurns);
    return writeRotatedPixels(source, destination, quarterTurns);
}

} // namespace imaging
