#pragma once

#include "base/FileStamp.h"

#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>

// The neighbours of the shown image, decoded ahead on the preload pool, each with the version
// of its file it was read from. Results come back on the owner's thread; a decode no longer
// wanted is called off and its result dropped on arrival. Changes made by a call are not
// signalled (the caller tells of them once, with the rest of a step); copies arriving from the
// background are.
class PreloadCache : public QObject {
    Q_OBJECT

public:
    // A neighbour decoded ahead, with the version of the file it was read from.
    struct Preload {
        std::optional<base::FileStamp> stamp;
        std::optional<QImage> image;
    };
    // A decode under way given up by the cache: its result is for whoever took it.
    struct Handover {
        QFuture<Preload> future;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };

    explicit PreloadCache(QObject* parent = nullptr);
    ~PreloadCache() override;

    // Images compare by identity.
    const QHash<QUrl, QImage>& images() const { return m_images; }
    bool isDecoding(const QUrl& url) const { return m_underWay.contains(url); }

    // Replaces the copies; those without a version of their file count as stale.
    bool setImages(const QHash<QUrl, QImage>& images);
    // A copy of a picture at hand, of the given version of its file (unknown: stale).
    void insert(const QUrl& url, const QImage& image,
                const std::optional<base::FileStamp>& version = std::nullopt);
    // Removes url's copy and hands it over with its version; true in the pair's first when
    // there was one.
    std::optional<std::pair<QImage, std::optional<base::FileStamp>>> take(const QUrl& url);
    // A decode of url under way, waited for: it ends sooner than one begun afresh. None when
    // there is none, it failed, or the file changed since.
    std::optional<std::pair<QImage, base::FileStamp>> await(const QUrl& url);
    // A decode of url under way, handed over without waiting for it: the cache forgets it.
    std::optional<Handover> handOver(const QUrl& url);
    // Calls off the decodes of files not in wanted and drops their copies; true if copies went.
    bool keepOnly(const QList<QUrl>& wanted);
    // Starts decoding each of urls that is neither held nor on its way.
    void decode(const QList<QUrl>& urls);
    // Drops the copies of files rewritten or gone since they were read; true if any went.
    bool dropStale();

Q_SIGNALS:
    // A copy came from the background, or a stale one left.
    void imagesChanged();

private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancelled;
        QFutureWatcher<Preload>* watcher = nullptr;
    };

    void arrived(const QUrl& url, const std::shared_ptr<std::atomic<bool>>& cancelled,
                 const Preload& preload);

    QHash<QUrl, QImage> m_images;
    QHash<QUrl, base::FileStamp> m_stamps;
    QHash<QUrl, Job> m_underWay;
};
