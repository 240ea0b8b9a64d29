#pragma once

#include "base/FileStamp.h"
#include "imaging/EarlyDecode.h"

#include <QFutureWatcher>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUrl>

#include <atomic>
#include <memory>
#include <optional>
#include <utility>

// The neighbours of the shown image, decoded ahead on the preload pool, each with the version
// of its file it was read from. One of them may be held scaled down to the view instead (a
// large JPEG behind the way a person walks): shown as a preview until its whole picture
// follows. Results come back on the owner's thread; a decode no longer wanted is called off
// and its result dropped on arrival. Changes made by a call are not signalled (the caller tells
// of them once, with the rest of a step); whole copies arriving from the background are.
class PreloadCache : public QObject {
    Q_OBJECT

public:
    // A neighbour decoded ahead, with the version of the file it was read from.
    struct Preload {
        std::optional<base::FileStamp> stamp;
        std::optional<QImage> image;
        // Asked for scaled down, and the file could be.
        std::optional<imaging::Preview> preview;
    };
    struct HeldPreview {
        imaging::Preview preview;
        base::FileStamp stamp;
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
    // The neighbours held scaled down.
    const QHash<QUrl, HeldPreview>& previews() const { return m_previews; }

    // Replaces the copies; those without a version of their file count as stale.
    bool setImages(const QHash<QUrl, QImage>& images);
    // A copy of a picture at hand, of the given version of its file (unknown: stale).
    void insert(const QUrl& url, const QImage& image,
                const std::optional<base::FileStamp>& version = std::nullopt);
    // Removes url's copy and hands it over with its version; true in the pair's first when
    // there was one.
    std::optional<std::pair<QImage, std::optional<base::FileStamp>>> take(const QUrl& url);
    // Removes url's scaled-down copy and hands it over.
    std::optional<HeldPreview> takePreview(const QUrl& url);
    // A decode of url's whole picture under way, waited for: it ends sooner than one begun
    // afresh. None when there is none, it failed, or the file changed since. A scaled-down
    // decode under way is called off instead.
    std::optional<std::pair<QImage, base::FileStamp>> await(const QUrl& url);
    // A decode of url's whole picture under way, handed over without waiting for it: the cache
    // forgets it. A scaled-down one is called off.
    std::optional<Handover> handOver(const QUrl& url);
    // Calls off the decodes of files not in wanted and drops their copies; true if copies went.
    bool keepOnly(const QList<QUrl>& wanted);
    // Starts decoding each of urls that is neither held nor on its way; scaledDown, if among
    // them and a large JPEG, only scaled to cover bounds (its whole copy goes). True if whole
    // copies went.
    bool decode(const QList<QUrl>& urls, const std::optional<QUrl>& scaledDown = std::nullopt,
                const QSize& bounds = {});
    // Drops the copies of files rewritten or gone since they were read; true if any went.
    bool dropStale();

Q_SIGNALS:
    // A copy came from the background, or a stale one left.
    void imagesChanged();

private:
    struct Job {
        std::shared_ptr<std::atomic<bool>> cancelled;
        QFutureWatcher<Preload>* watcher = nullptr;
        bool scaledDown = false;
    };

    void start(const QUrl& url, const QSize& scaledDownTo);
    // A large JPEG, not known to come whole from a scaled decode.
    bool worthScalingDown(const QUrl& url, const QSize& bounds) const;
    // Whether a decode of url of this kind is under way; one of the other kind is called off.
    bool underWayAs(const QUrl& url, bool scaledDown);

    void arrived(const QUrl& url, const std::shared_ptr<std::atomic<bool>>& cancelled,
                 const Preload& preload);

    QHash<QUrl, QImage> m_images;
    QHash<QUrl, base::FileStamp> m_stamps;
    QHash<QUrl, Job> m_underWay;
    QHash<QUrl, HeldPreview> m_previews;
    QSet<QUrl> m_scalesNoFurther;
};
