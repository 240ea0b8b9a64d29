// Decoding the neighbours of the shown image ahead, on the work pool.
#include "state/AppState.h"

#include "imaging/ImageService.h"
#include "base/ThreadPriority.h"
#include "base/WorkPool.h"

#include <QFutureWatcher>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <utility>

namespace {

// A neighbour decoded ahead, with the version of the file it was read from.
struct Preload {
    std::optional<base::FileStamp> stamp;
    std::optional<QImage> image;
};

} // namespace

QList<QUrl> AppState::neighbourUrls() const
{
    return neighbourUrls(m_currentIndex);
}

QList<QUrl> AppState::neighbourUrls(qint64 index) const
{
    const qint64 count = m_imageFiles.size();
    if (count < 2 || index < 0 || index >= count)
        return {};
    const QUrl next = m_imageFiles.at((index + 1) % count);
    const QUrl previous = m_imageFiles.at((index - 1 + count) % count);
    // With two images both neighbours are one file.
    return previous == next ? QList<QUrl>{next} : QList<QUrl>{next, previous};
}

void AppState::forgetPreloadsOutside(const QList<QUrl>& wanted)
{
    for (auto it = m_preloadsUnderWay.begin(); it != m_preloadsUnderWay.end();) {
        if (wanted.contains(it.key())) {
            ++it;
            continue;
        }
        it.value().cancelled->store(true, std::memory_order_relaxed);
        it = m_preloadsUnderWay.erase(it);
    }
    QHash<QUrl, QImage> kept;
    for (const QUrl& url : wanted) {
        auto it = m_preloadedImages.constFind(url);
        if (it != m_preloadedImages.cend())
            kept.insert(url, *it);
    }
    setPreloadedImages(kept);
    for (auto it = m_preloadStamps.begin(); it != m_preloadStamps.end();)
        it = kept.contains(it.key()) ? std::next(it) : m_preloadStamps.erase(it);
}

void AppState::holdPreloads(int timeoutMs)
{
    m_preloadsHeld = true;
    QTimer::singleShot(timeoutMs, this, &AppState::releasePreloads);
}

void AppState::releasePreloads()
{
    imaging::earlyPreviewShown();
    // A preview on screen is not the picture: its whole decode has the processor first.
    if (m_currentPreview || !std::exchange(m_preloadsHeld, false))
        return;
    if (currentURL())
        preloadAdjacentImages();
}

void AppState::preloadAdjacentImages()
{
    if (m_preloadsHeld)
        return;
    const QList<QUrl> wanted = neighbourUrls();
    forgetPreloadsOutside(wanted);

    for (const QUrl& url : wanted) {
        // Decoded already, or on its way: never twice.
        if (m_preloadedImages.contains(url) || m_preloadsUnderWay.contains(url))
            continue;
        const QString path = url.toLocalFile();
        auto cancelled = std::make_shared<std::atomic<bool>>(false);
        // The watcher belongs to this model: its result arrives on this thread, and never
        // once the model is gone.
        auto* watcher = new QFutureWatcher<Preload>(this);
        m_preloadsUnderWay.insert(url, {cancelled, watcher});
        connect(watcher, &QFutureWatcherBase::finished, this,
                [this, watcher, url, path, cancelled] {
                    const Preload preload = watcher->result();
                    watcher->deleteLater();
                    // Called off meanwhile (no longer a neighbour, or shown): dropped on arrival.
                    const auto entry = m_preloadsUnderWay.constFind(url);
                    if (entry == m_preloadsUnderWay.cend() || entry->cancelled != cancelled)
                        return;
                    m_preloadsUnderWay.erase(entry);
                    // Rewritten while it was decoded: that copy is already stale.
                    const bool current = preload.stamp && preload.stamp == base::FileStamp::of(path);
                    if (preload.image && current) {
                        m_preloadStamps.insert(url, *preload.stamp);
                        insertPreloadedImage(url, *preload.image);
                    } else if (m_preloadedImages.contains(url)) {
                        m_preloadStamps.remove(url);
                        takePreloadedImage(url);
                    }
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

bool AppState::isDecodingAhead(qint64 delta) const
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return false;
    const qint64 index = ((m_currentIndex + delta) % count + count) % count;
    return m_preloadsUnderWay.contains(m_imageFiles.at(index));
}

std::optional<std::pair<QImage, base::FileStamp>> AppState::awaitPreload(const QUrl& url)
{
    const auto entry = m_preloadsUnderWay.constFind(url);
    if (entry == m_preloadsUnderWay.cend())
        return std::nullopt;
    auto* watcher = static_cast<QFutureWatcher<Preload>*>(entry->watcher);
    m_preloadsUnderWay.erase(entry);
    // A decode not begun yet is run here by the pool, as the decode of the shown file would be.
    watcher->waitForFinished();
    const Preload preload = watcher->result();
    // Gone now, with the copy of the result it holds: the picture is freed with its last user.
    delete watcher;
    if (!preload.image || !preload.stamp || preload.stamp != base::FileStamp::of(url.toLocalFile()))
        return std::nullopt;
    return std::pair{*preload.image, *preload.stamp};
}
