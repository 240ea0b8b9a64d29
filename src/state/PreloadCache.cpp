#include "state/PreloadCache.h"

#include "base/ThreadPriority.h"
#include "base/WorkPool.h"
#include "imaging/ImageService.h"

#include <QtConcurrent/QtConcurrentRun>

namespace {

bool sameImages(const QHash<QUrl, QImage>& a, const QHash<QUrl, QImage>& b)
{
    if (a.size() != b.size())
        return false;
    for (auto it = a.cbegin(); it != a.cend(); ++it) {
        auto other = b.constFind(it.key());
        if (other == b.cend() || other->cacheKey() != it->cacheKey())
            return false;
    }
    return true;
}

} // namespace

PreloadCache::PreloadCache(QObject* parent) : QObject(parent) {}

PreloadCache::~PreloadCache()
{
    // Decodes still under way finish on the pool for nobody.
    for (const Job& job : std::as_const(m_underWay))
        job.cancelled->store(true, std::memory_order_relaxed);
}

bool PreloadCache::setImages(const QHash<QUrl, QImage>& images)
{
    if (sameImages(m_images, images))
        return false;
    m_images = images;
    for (auto it = m_stamps.begin(); it != m_stamps.end();)
        it = m_images.contains(it.key()) ? std::next(it) : m_stamps.erase(it);
    return true;
}

void PreloadCache::insert(const QUrl& url, const QImage& image,
                          const std::optional<base::FileStamp>& version)
{
    m_images.insert(url, image);
    if (version)
        m_stamps.insert(url, *version);
    else
        m_stamps.remove(url);
}

std::optional<std::pair<QImage, std::optional<base::FileStamp>>> PreloadCache::take(const QUrl& url)
{
    const auto it = m_images.find(url);
    if (it == m_images.end())
        return std::nullopt;
    std::pair<QImage, std::optional<base::FileStamp>> taken{*it, std::nullopt};
    m_images.erase(it);
    if (const auto stamp = m_stamps.constFind(url); stamp != m_stamps.cend())
        taken.second = *stamp;
    m_stamps.remove(url);
    return taken;
}

std::optional<std::pair<QImage, base::FileStamp>> PreloadCache::await(const QUrl& url)
{
    const auto entry = m_underWay.constFind(url);
    if (entry == m_underWay.cend())
        return std::nullopt;
    QFutureWatcher<Preload>* watcher = entry->watcher;
    m_underWay.erase(entry);
    // A decode not begun yet is run here by the pool, as the decode of the shown file would be.
    watcher->waitForFinished();
    const Preload preload = watcher->result();
    // Gone now, with the copy of the result it holds: the picture is freed with its last user.
    delete watcher;
    if (!preload.image || !preload.stamp ||
        preload.stamp != base::FileStamp::of(url.toLocalFile()))
        return std::nullopt;
    return std::pair{*preload.image, *preload.stamp};
}

std::optional<PreloadCache::Handover> PreloadCache::handOver(const QUrl& url)
{
    const auto entry = m_underWay.constFind(url);
    if (entry == m_underWay.cend())
        return std::nullopt;
    Handover handover{entry->watcher->future(), entry->cancelled};
    // Its watcher reports to nobody now (see arrived) and goes then.
    m_underWay.erase(entry);
    return handover;
}

bool PreloadCache::keepOnly(const QList<QUrl>& wanted)
{
    for (auto it = m_underWay.begin(); it != m_underWay.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        it.value().cancelled->store(true, std::memory_order_relaxed);
        it = m_underWay.erase(it);
    }
    QHash<QUrl, QImage> kept;
    for (const QUrl& url : wanted) {
        auto it = m_images.constFind(url);
        if (it != m_images.cend())
            kept.insert(url, *it);
    }
    return setImages(kept);
}

void PreloadCache::decode(const QList<QUrl>& urls)
{
    for (const QUrl& url : urls) {
        // Decoded already, or on its way: never twice.
        if (m_images.contains(url) || m_underWay.contains(url))
            continue;
        const QString path = url.toLocalFile();
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        // The watcher belongs to this cache: its result arrives on this thread, and never once
        // the cache is gone.
        auto* watcher = new QFutureWatcher<Preload>(this);
        m_underWay.insert(url, {cancelled, watcher});
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, cancelled] {
            watcher->deleteLater();
            arrived(url, cancelled, watcher->result());
        });
        watcher->setFuture(QtConcurrent::run(&base::preloadPool(), [path, cancelled] {
            base::lowerThreadPriority(base::Yield::toWindow);
            Preload preload;
            // Called off before its turn came: not decoded at all.
            if (cancelled->load(std::memory_order_relaxed))
                return preload;
            preload.stamp = base::FileStamp::of(path);
            preload.image = imaging::decodeImage(path, nullptr, cancelled.get());
            return preload;
        }));
    }
}

void PreloadCache::arrived(const QUrl& url, const std::shared_ptr<std::atomic<bool>>& cancelled,
                           const Preload& preload)
{
    const auto entry = m_underWay.constFind(url);
    // Called off meanwhile (no longer a neighbour, or shown): dropped on arrival.
    if (entry == m_underWay.cend() || entry->cancelled != cancelled)
        return;
    m_underWay.erase(entry);
    // Rewritten while it was decoded: that copy is already stale.
    const bool current = preload.stamp && preload.stamp == base::FileStamp::of(url.toLocalFile());
    if (preload.image && current) {
        insert(url, *preload.image, preload.stamp);
        Q_EMIT imagesChanged();
    } else if (take(url)) {
        Q_EMIT imagesChanged();
    }
}

bool PreloadCache::dropStale()
{
    bool dropped = false;
    const QList<QUrl> held = m_images.keys();
    for (const QUrl& url : held) {
        const auto recorded = m_stamps.constFind(url);
        if (recorded == m_stamps.cend() ||
            base::FileStamp::of(url.toLocalFile()) != *recorded) {
            take(url);
            dropped = true;
        }
    }
    return dropped;
}
