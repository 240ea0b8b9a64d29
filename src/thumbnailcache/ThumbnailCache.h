#pragma once

#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QThreadPool>
#include <QUrl>

#include <deque>
#include <functional>
#include <optional>
#include <vector>

// The process's thumbnails, keyed by file URL. Pictures are made on a small pool of its own
// whose threads run at a lower priority, so that the shown image and its neighbours decode
// first. The map and the queue of requests are touched only on the user-interface thread.
// When the map is full it is emptied whole.
class ThumbnailCache : public QObject {
    Q_OBJECT

public:
    using Maker = std::function<std::optional<QImage>(const QString& path)>;
    using Done = std::function<void(const std::optional<QImage>&)>;
    using Ticket = quint64;

    static constexpr qsizetype maxEntries = 500;

    // The one instance of the process, made on first use and never destroyed.
    static ThumbnailCache& shared();

    // maker runs on the pool's threads (by default the desktop's cached thumbnail of the file, or
    // else the image service's, then kept in that cache); threads 0
    // leaves most of the cores to the shown image.
    explicit ThumbnailCache(Maker maker = {}, int threads = 0, QObject* parent = nullptr);
    ~ThumbnailCache() override;

    // A hit calls done before returning and gives ticket 0. A miss queues the file and calls
    // done on this thread once it is made, with none when it cannot be, unless the ticket was
    // cancelled or receiver has gone by then.
    Ticket loadThumbnail(const QUrl& url, QObject* receiver, Done done);
    // A file nobody waits for any more is not made if it has not started; one under way is
    // still made and kept.
    void cancel(Ticket ticket);

    // Forgets one file's picture, after the file was rewritten. A make under way for it is
    // done again, as it may have read the old contents.
    void remove(const QUrl& url);
    // Forgets every picture, after the screen's colour profile changed; makes under way are
    // done again, in the new profile's colours.
    void clear();

    qsizetype count() const { return m_cache.size(); }
    // The picture when the map holds it; never starts a make.
    std::optional<QImage> cached(const QUrl& url) const;
    // Files waiting or being made, and how many makes have started so far.
    qsizetype pendingCount() const { return m_jobs.size(); }
    qint64 thumbnailsMade() const { return m_made; }
    int threadCount() const { return m_pool.maxThreadCount(); }
    // Stops taking work; a make under way is left to finish or be abandoned with the process.
    void shutDown();

Q_SIGNALS:
    // Whoever shows this file's picture should ask for it again.
    void thumbnailRemoved(const QUrl& url);
    // Every picture was forgotten: whoever shows any should ask again.
    void cleared();

private:
    struct Waiter {
        Ticket ticket;
        QPointer<QObject> receiver;
        Done done;
    };
    struct Job {
        std::vector<Waiter> waiters;
        bool running = false;
        bool stale = false;
    };

    void startQueued();
    void finish(const QUrl& url, const std::optional<QImage>& image);
    void store(const QUrl& url, const QImage& image);

    Maker m_maker;
    QThreadPool m_pool;
    QHash<QUrl, QImage> m_cache;
    QHash<QUrl, Job> m_jobs;
    QHash<Ticket, QUrl> m_tickets;
    std::deque<QUrl> m_queue; // jobs not started yet, in the order they were asked for
    int m_running = 0;
    bool m_shutDown = false;
    Ticket m_lastTicket = 0;
    qint64 m_made = 0;
};
