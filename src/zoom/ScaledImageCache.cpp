#include "zoom/ScaledImageCache.h"

#include "imaging/pixels/ScreenCopy.h"
#include "base/BackgroundTask.h"

#include <algorithm>

namespace {

QImage scaledForDrawing(const QImage& source, const QSize& size, double devicePixelRatio)
{
    QImage scaled = imaging::smoothCopy(source, size);
    scaled.setDevicePixelRatio(devicePixelRatio);
    return scaled;
}

} // namespace

ScaledImageCache::ScaledImageCache(QObject* parent) : QObject(parent) {}

ScaledImageCache::~ScaledImageCache() = default;

void ScaledImageCache::setSource(const QImage& source, bool refines)
{
    if (source.cacheKey() == m_source.cacheKey())
        return;
    if (refines && !m_source.isNull()) {
        // A preview drawn at its own size had no copy made: it stands in itself.
        if (m_copy.isNull())
            m_copy = m_source;
        m_source = source;
        m_copyIsSampled = true;
        m_wanted = QSize();
        ++m_generation;
        m_isScaling = false;
        return;
    }
    // The new picture's copy is taken before the old one is kept: keeping may push it out.
    QImage copy;
    for (qsizetype i = 0; i < m_prepared.size(); ++i) {
        if (m_prepared[i].key == source.cacheKey() && !m_prepared[i].copy.isNull()) {
            copy = m_prepared.takeAt(i).copy;
            break;
        }
    }
    // A step back finds the copy of the picture it returns to.
    if (!m_source.isNull() && !m_copy.isNull() && !m_copyIsSampled)
        keepPrepared(m_source.cacheKey(), m_copy);
    m_source = source;
    m_copy = std::move(copy);
    m_copyIsSampled = false;
    m_wanted = QSize();
    // A job still running for the old image is ignored when it comes back.
    ++m_generation;
    m_isScaling = false;
}

bool ScaledImageCache::hasCopy(const QSize& size, double devicePixelRatio) const
{
    return !m_copy.isNull() && !m_copyIsSampled && m_copy.size() == size &&
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
    if (m_copy.isNull()) {
        // Nothing to stand in yet: every few pixels taken, once (a few milliseconds, 14 for a
        // 24 MP photo at window size), rather than the whole picture filtered at each paint
        // until the smooth copy comes.
        m_copy = m_source.scaled(size, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        m_copy.setDevicePixelRatio(devicePixelRatio);
        m_copyIsSampled = true;
    }
    return {m_copy, false};
}

void ScaledImageCache::startScaling()
{
    m_isScaling = true;
    const quint64 generation = m_generation;
    base::runInBackground(
        this,
        [source = m_source, size = m_wanted, ratio = m_wantedRatio] {
            return scaledForDrawing(source, size, ratio);
        },
        [this, generation](QImage scaled) {
            if (generation != m_generation)
                return;
            m_isScaling = false;
            m_copy = std::move(scaled);
            m_copyIsSampled = false;
            // The view may have been zoomed again meanwhile: go for the latest size.
            if (!hasCopy(m_wanted, m_wantedRatio))
                startScaling();
            Q_EMIT copyReady();
        });
}

void ScaledImageCache::keepPrepared(qint64 key, const QImage& copy)
{
    m_prepared.removeIf([key](const Prepared& p) { return p.key == key; });
    m_prepared.append({key, copy.size(), copy.devicePixelRatio(), copy});
    while (m_prepared.size() > kPreparedKept)
        m_prepared.removeFirst();
}

bool ScaledImageCache::isPrepared(const QImage& image, const QSize& size,
                                  double devicePixelRatio) const
{
    return std::any_of(m_prepared.cbegin(), m_prepared.cend(), [&](const Prepared& p) {
        return p.key == image.cacheKey() && p.size == size && p.ratio == devicePixelRatio;
    });
}

void ScaledImageCache::prepare(const QImage& image, const QSize& size, double devicePixelRatio)
{
    if (image.isNull() || size.isEmpty() || image.cacheKey() == m_source.cacheKey() ||
        isPrepared(image, size, devicePixelRatio))
        return;
    const qint64 key = image.cacheKey();
    keepPrepared(key, QImage());
    m_prepared.last().size = size;
    m_prepared.last().ratio = devicePixelRatio;
    base::runInBackground(
        this,
        [image, size, devicePixelRatio] { return scaledForDrawing(image, size, devicePixelRatio); },
        [this, key, size, devicePixelRatio](QImage scaled) {
            for (Prepared& p : m_prepared) {
                if (p.key == key && p.size == size && p.ratio == devicePixelRatio) {
                    p.copy = std::move(scaled);
                    return;
                }
            }
        });
}
