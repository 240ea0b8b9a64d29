#include "imaging/ImageService.h"

#include <QCoreApplication>
#include <QImageReader>
#include <QThread>
#include <atomic>

namespace imaging {

namespace {
std::atomic<quint64> g_decodes{0};
std::atomic<quint64> g_mainThreadDecodes{0};

void countDecode()
{
    ++g_decodes;
    auto* app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread())
        ++g_mainThreadDecodes;
}
} // namespace

quint64 decodeCount()
{
    return g_decodes.load();
}

quint64 mainThreadDecodeCount()
{
    return g_mainThreadDecodes.load();
}

// Provisional: the full service (raw, HEIF, PSD, limits, colour) replaces this.
std::optional<QImage> decodeImage(const QString& path)
{
    countDecode();
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

MetadataRows extractMetadata(const QString&)
{
    return {};
}

} // namespace imaging
