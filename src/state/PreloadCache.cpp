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

// Whether the preview holds every pixel of its picture fitted into bounds (a window grown since
// it was made needs a larger one).
bool covers(const imaging::Preview& preview, const QSize& bounds)
{
    const QSize fitted =
        preview.fullSize.scaled(bounds, Qt::KeepAspectRatio).boundedTo(preview.fullSize);
    return !preview.image.isNull() && preview.image.width() >= fitted.width() &&
           preview.image.height() >= fitted.height();
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

std::optional<PreloadCache::HeldPreview> PreloadCache::takePreview(const QUrl& url)
{
    const auto it = m_previews.find(url);
    if (it == m_previews.end())
        return std::nullopt;
    HeldPreview taken = std::move(*it);
    m_previews.erase(it);
    return taken;
}

std::optional<std::pair<QImage, base::FileStamp>> PreloadCache::await(const QUrl& url)
{
    if (!underWayAs(url, false))
        return std::nullopt;
    const auto entry = m_underWay.constFind(url);
    QFutureWatcher<Preload>* watcher = entry->watcher;
    m_underWay.erase(entry);
    // A decode not begun yet is run here by the pool, as the decode of the shown file would be.
    watcher->waitForFinished();
    const Preload preload = watcher->result();
    // Gone now, with the copy of the result it holds: the picture is freed with its last user.
    delete watcher;
    if (!preload.image || !preload.stamp || preload.stamp != base::FileStamp::of(url.toLocalFile()))
        return std::nullopt;
    return std::pair{*preload.image, *preload.stamp};
}

std::optional<PreloadCache::Handover> PreloadCache::handOver(const QUrl& url)
{
    if (!underWayAs(url, false))
        return std::nullopt;
    const auto entry = m_underWay.constFind(url);
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
    m_previews.removeIf([&wanted](const auto& held) { return !wanted.contains(held.key()); });
    m_scalesNoFurther.removeIf([&wanted](const QUrl& url) { return !wanted.contains(url); });
    QHash<QUrl, QImage> kept;
    for (const QUrl& url : wanted) {
        auto it = m_images.constFind(url);
        if (it != m_images.cend())
            kept.insert(url, *it);
    }
    return setImages(kept);
}

bool PreloadCache::underWayAs(const QUrl& url, bool scaledDown)
{
    const auto job = m_underWay.find(url);
    if (job == m_underWay.end())
        return false;
    if (job->scaledDown == scaledDown)
        return true;
    job->cancelled->store(true, std::memory_order_relaxed);
    m_underWay.erase(job);
    return false;
}

bool PreloadCache::worthScalingDown(const QUrl& url, const QSize& bounds) const
{
    const QString path = url.toLocalFile();
    return !bounds.isEmpty() && !m_scalesNoFurther.contains(url) && imaging::decodesSlowly(path) &&
           imaging::decodesScaledDown(path);
}

bool PreloadCache::decode(const QList<QUrl>& urls, const std::optional<QUrl>& scaledDown,
                          const QSize& bounds)
{
    bool copiesWent = false;
    for (const QUrl& url : urls) {
        if (url == scaledDown && worthScalingDown(url, bounds)) {
            if (covers(m_previews.value(url).preview, bounds) || underWayAs(url, true))
                continue;
            // The whole copy is given up for the scaled one: memory holds two whole pictures.
            copiesWent = take(url).has_value() || copiesWent;
            start(url, bounds);
            continue;
        }
        // Decoded already, or on its way: never twice. A scaled copy stands in meanwhile.
        if (m_images.contains(url) || underWayAs(url, false))
            continue;
        start(url, QSize());
    }
    return copiesWent;
}

void PreloadCache::start(const QUrl& url, const QSize& scaledDownTo)
{
    const QString path = url.toLocalFile();
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    // The watcher belongs to this cache: its result arrives on this thread, and never once
    // the cache is gone.
    auto* watcher = new QFutureWatcher<Preload>(this);
    m_underWay.insert(url, {cancelled, watcher, !scaledDownTo.isEmpty()});
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, cancelled] {
        watcher->deleteLater();
        arrived(url, cancelled, watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(&base::preloadPool(), [path, cancelled, scaledDownTo] {
        base::lowerThreadPriority(base::Yield::toWindow);
        Preload preload;
        // Called off before its turn came: not decoded at all.
        if (cancelled->load(std::memory_order_relaxed))
            return preload;
        preload.stamp = base::FileStamp::of(path);
        if (!scaledDownTo.isEmpty())
            preload.preview = imaging::decodeScaledDown(path, scaledDownTo, cancelled.get());
        // A file that cannot be scaled down is held whole.
        if (!preload.preview)
            preload.image = imaging::decodeImage(path, nullptr, cancelled.get());
        return preload;
    }));
}

void PreloadCache::arrived(const QUrl& url, const std::shared_ptr<std::atomic<bool>>& cancelled,
                           const Preload& preload)
{
    const auto entry = m_underWay.constFind(url);
    // Called off meanwhile (no longer a neighbour, or shown): dropped on arrival.
    if (entry == m_underWay.cend() || entry->cancelled != cancelled)
        return;
    const bool askedScaledDown = entry->scaledDown;
    m_underWay.erase(entry);
    // Rewritten while it was decoded: that copy is already stale.
    const bool current = preload.stamp && preload.stamp == base::FileStamp::of(url.toLocalFile());
    if (preload.preview && current) {
        m_previews.insert(url, {*preload.preview, *preload.stamp});
    } else if (preload.image && current) {
        // Asked for scaled down, it came whole: it fits the view already, and is kept so.
        if (askedScaledDown)
            m_scalesNoFurther.insert(url);
        insert(url, *preload.image, preload.stamp);
        m_previews.remove(url);
        Q_EMIT imagesChanged();
    } else {
        m_previews.remove(url);
        if (take(url))
            Q_EMIT imagesChanged();
    }
}

bool PreloadCache::dropStale()
{
    m_previews.removeIf([](const auto& held) {
        return base::FileStamp::of(held.key().toLocalFile()) != held.value().stamp;
    });
    bool dropped = false;
    const QList<QUrl> held = m_images.keys();
    for (const QUrl& url : held) {
        const auto recorded = m_stamps.constFind(url);
        if (recorded == m_stamps.cend() || base::FileStamp::of(url.toLocalFile()) != *recorded) {
            take(url);
            dropped = true;
        }
    }
    return dropped;
}
