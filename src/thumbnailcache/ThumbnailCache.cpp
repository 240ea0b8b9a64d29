#include "thumbnailcache/ThumbnailCache.h"

#include "base/ThreadPriority.h"
#include "imaging/colour/DisplayColour.h"
#include "imaging/pixels/Thumbnail.h"
#include "thumbnailcache/ThumbnailStore.h"

#include <QCoreApplication>
#include <QFutureWatcher>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace {

// The strip's picture of a file: the one the desktop's cache keeps for this version of it, or
// one made now and kept there for the next start and for the file managers.
std::optional<QImage> storedOrMade(const QString& path)
{
    // Kept in sRGB, shown in the screen's colours.
    const auto fitted = [](const QImage& image) {
        constexpr int side = imaging::kThumbnailMaxPixelSize;
        return imaging::forScreen(
            image.width() > side || image.height() > side
                ? image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                : image);
    };
    if (const std::optional<QImage> stored = thumbnailstore::read(path))
        return fitted(*stored);
    if (thumbnailstore::hasFailed(path))
        return std::nullopt;
    const std::optional<QImage> made = imaging::makeThumbnail(path, thumbnailstore::kNormalSize);
    if (!made) {
        thumbnailstore::writeFailure(path);
        return std::nullopt;
    }
    thumbnailstore::write(path, *made);
    return fitted(*made);
}

int defaultThreadCount()
{
    // Every core: the threads yield to the window and to the neighbours' decodes, so the strip
    // fills as fast as an idle machine allows and never slows a step.
    return std::clamp(QThread::idealThreadCount(), 1, 4);
}

} // namespace

ThumbnailCache& ThumbnailCache::shared()
{
    static ThumbnailCache* const instance = [] {
        auto* cache = new ThumbnailCache;
        // Never destroyed, but no decode may still run while the process tears down.
        if (auto* app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, cache, &ThumbnailCache::shutDown);
        return cache;
    }();
    return *instance;
}

ThumbnailCache::ThumbnailCache(Maker maker, int threads, QObject* parent)
    : QObject(parent), m_maker(std::move(maker))
{
    if (!m_maker)
        m_maker = storedOrMade;
    m_pool.setMaxThreadCount(threads > 0 ? threads : defaultThreadCount());
}

ThumbnailCache::~ThumbnailCache()
{
    shutDown();
    m_pool.waitForDone();
}

void ThumbnailCache::shutDown()
{
    // The process ends without waiting for a make under way: nobody wants its picture now.
    m_shutDown = true;
    m_queue.clear();
}

std::optional<QImage> ThumbnailCache::cached(const QUrl& url) const
{
    const auto hit = m_cache.constFind(url);
    return hit == m_cache.cend() ? std::nullopt : std::optional<QImage>(*hit);
}

ThumbnailCache::Ticket ThumbnailCache::loadThumbnail(const QUrl& url, QObject* receiver, Done done)
{
    if (const std::optional<QImage> hit = cached(url)) {
        done(hit);
        return 0;
    }
    const Ticket ticket = ++m_lastTicket;
    m_tickets.insert(ticket, url);
    Job& job = m_jobs[url];
    // Two requests for one file share one make.
    const bool isNew = job.waiters.empty() && !job.running;
    job.waiters.push_back({ticket, receiver, std::move(done)});
    if (isNew) {
        m_queue.push_back(url);
        startQueued();
    }
    return ticket;
}

void ThumbnailCache::cancel(Ticket ticket)
{
    const auto found = m_tickets.constFind(ticket);
    if (found == m_tickets.cend())
        return;
    const QUrl url = *found;
    m_tickets.erase(found);
    const auto job = m_jobs.find(url);
    if (job == m_jobs.end())
        return;
    std::erase_if(job->waiters, [ticket](const Waiter& w) { return w.ticket == ticket; });
    if (job->waiters.empty() && !job->running) {
        m_jobs.erase(job);
        std::erase(m_queue, url);
    }
}

void ThumbnailCache::remove(const QUrl& url)
{
    m_cache.remove(url);
    thumbnailstore::remove(url.toLocalFile());
    const auto job = m_jobs.find(url);
    if (job != m_jobs.end() && job->running)
        job->stale = true;
    Q_EMIT thumbnailRemoved(url);
}

void ThumbnailCache::clear()
{
    m_cache.clear();
    for (Job& job : m_jobs) {
        if (job.running)
            job.stale = true;
    }
    Q_EMIT cleared();
}

void ThumbnailCache::startQueued()
{
    while (!m_shutDown && !m_queue.empty() && m_running < m_pool.maxThreadCount()) {
        const QUrl url = m_queue.front();
        m_queue.pop_front();
        m_jobs[url].running = true;
        ++m_running;
        ++m_made;
        // The watcher belongs to the cache: its result arrives on this thread, never after
        // the cache is gone.
        auto* watcher = new QFutureWatcher<std::optional<QImage>>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url] {
            watcher->deleteLater();
            --m_running;
            finish(url, watcher->result());
            startQueued();
        });
        watcher->setFuture(QtConcurrent::run(&m_pool, [maker = m_maker, path = url.toLocalFile()] {
            base::lowerThreadPriority(base::Yield::toNeighbours);
            return maker(path);
        }));
    }
}

void ThumbnailCache::finish(const QUrl& url, const std::optional<QImage>& image)
{
    const auto found = m_jobs.find(url);
    if (found == m_jobs.end())
        return;
    if (found->stale) {
        found->running = false;
        found->stale = false;
        if (found->waiters.empty())
            m_jobs.erase(found);
        else
            m_queue.push_front(url);
        return;
    }
    // Waiters may ask again from their callbacks: the job is gone before they run.
    const std::vector<Waiter> waiters = std::move(found->waiters);
    m_jobs.erase(found);
    if (image)
        store(url, *image);
    for (const Waiter& waiter : waiters) {
        m_tickets.remove(waiter.ticket);
        if (waiter.receiver)
            waiter.done(image);
    }
}

void ThumbnailCache::store(const QUrl& url, const QImage& image)
{
    if (m_cache.size() >= maxEntries)
        m_cache.clear();
    m_cache.insert(url, image);
}
