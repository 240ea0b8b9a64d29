#include "zoom/ScaledImageCache.h"

#include "zoom/BackgroundTask.h"

namespace {

QImage scaledForDrawing(const QImage& source, const QSize& size, double devicePixelRatio)
{
    // Area averaging: no aliasing however small the copy. Premultiplied copies blit fastest.
    QImage scaled = source.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto format =
        scaled.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (scaled.format() != format)
        scaled.convertTo(format);
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

} // namespace

ScaledImageCache::ScaledImageCache(QObject* parent) : QObject(parent) {}

ScaledImageCache::~ScaledImageCache() = default;

void ScaledImageCache::setSource(const QImage& source)
{
    if (source.cacheKey() == m_source.cacheKey())
        return;
    m_source = source;
    m_copy = QImage();
    m_wanted = QSize();
    // A job still running for the old image is ignored when it comes back.
    ++m_generation;
    m_isScaling = false;
}

bool ScaledImageCache::hasCopy(const QSize& size, double devicePixelRatio) const
{
    return !m_copy.isNull() && m_copy.size() == size &&
           m_copy.devicePixelRatio() == devicePixelRatio;
}

ScaledImageCache::Copy ScaledImageCache::copyFor(const QSize& size, double devicePixelRatio)
{
    if (m_source.isNull() || size.isEmpty())
        return {};
    if (hasCopy(size, devicePixelRatio))
        return {m_copy, true};
    m_wanted = size;
    m_wantedRatio = devicePixelRatio;
    if (qint64(m_source.width()) * m_source.height() <= kScaleAtOncePixels) {
        m_copy = scaledForDrawing(m_source, size, devicePixelRatio);
        return {m_copy, true};
    }
    if (!m_isScaling)
        startScaling();
    return {m_copy, false};
}

void ScaledImageCache::startScaling()
{
    m_isScaling = true;
    const quint64 generation = m_generation;
    zoom::runInBackground(
        this,
        [source = m_source, size = m_wanted, ratio = m_wantedRatio] {
            return scaledForDrawing(source, size, ratio);
        },
        [this, generation](QImage scaled) {
            if (generation != m_generation)
                return;
            m_isScaling = false;
            m_copy = std::move(scaled);
            // The view may have been zoomed again meanwhile: go for the latest size.
            if (!hasCopy(m_wanted, m_wantedRatio))
                startScaling();
            Q_EMIT copyReady();
        });
}
