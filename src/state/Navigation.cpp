// Opening, stepping and decoding neighbours ahead.
#include "state/AppState.h"

#include "imaging/ImageService.h"
#include "state/FolderListing.h"
#include "state/WorkPool.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace {

// A neighbour decoded ahead, with the version of the file it was read from.
struct Preload {
    std::optional<FileStamp> stamp;
    std::optional<QImage> image;
};

} // namespace

void AppState::openFile(const QUrl& url)
{
    if (QFileInfo(url.toLocalFile()).isDir()) {
        openFolder(url);
        return;
    }
    setCurrentURL(url);
    showDecoded(url);
    setRotation(0);
    loadDirectory(url);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    applyDisplayMode();
    preloadAdjacentImages();
    watchShownFolder();
}

void AppState::openFolder(const QUrl& folder)
{
    const std::optional<QList<QUrl>> images = folder::listImagesIn(folder.toLocalFile());
    if (images && !images->isEmpty()) {
        openFile(images->first());
        return;
    }
    // Nothing to show: the window goes back to its invitation.
    clearShownFile();
    setImageFiles({});
    setCurrentIndex(0);
    setRotation(0);
    setPreloadedImages({});
    watchShownFolder();
}

void AppState::showDecoded(const QUrl& url)
{
    const QString path = url.toLocalFile();
    // Read before decoding: a rewrite during the decode then shows up as a change.
    m_shownStamp = FileStamp::of(path);
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    setCurrentImage(imaging::decodeImage(path, &failure));
    setDecodeFailure(failure);
}

void AppState::clearShownFile()
{
    setCurrentURL(std::nullopt);
    setCurrentImage(std::nullopt);
    setDecodeFailure(imaging::DecodeFailure::none);
    setMetadata({});
    m_shownStamp.reset();
}

void AppState::nextImage()
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    setCurrentIndex((m_currentIndex + 1) % count);
    loadCurrentImage();
}

void AppState::previousImage()
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    setCurrentIndex((m_currentIndex - 1 + count) % count);
    loadCurrentImage();
}

void AppState::goToImage(qint64 index)
{
    if (index < 0 || index >= m_imageFiles.size() || index == m_currentIndex)
        return;
    setCurrentIndex(index);
    loadCurrentImage();
}

void AppState::loadCurrentImage()
{
    // Every caller keeps the index in range; a stale one must still not read past the list.
    if (m_currentIndex < 0 || m_currentIndex >= m_imageFiles.size())
        return;
    const QUrl url = m_imageFiles.at(m_currentIndex);
    setCurrentURL(url);
    const std::optional<FileStamp> preloadStamp = m_preloadStamps.take(url);
    if (std::optional<QImage> image = takePreloadedImage(url)) {
        m_shownStamp = preloadStamp;
        setCurrentImage(image);
        setDecodeFailure(imaging::DecodeFailure::none);
    } else {
        showDecoded(url);
    }
    setRotation(0);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    preloadAdjacentImages();
    watchShownFolder();
}

void AppState::reloadCurrentImage()
{
    if (!m_currentURL)
        return;
    const QUrl url = *m_currentURL;
    showDecoded(url);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    // The cached copy shows the file as it was before the rewrite.
    m_preloadStamps.remove(url);
    takePreloadedImage(url);
}

QList<QUrl> AppState::neighbourUrls() const
{
    const qint64 count = m_imageFiles.size();
    if (count < 2 || m_currentIndex < 0 || m_currentIndex >= count)
        return {};
    const QUrl next = m_imageFiles.at((m_currentIndex + 1) % count);
    const QUrl previous = m_imageFiles.at((m_currentIndex - 1 + count) % count);
    // With two images both neighbours are one file.
    return previous == next ? QList<QUrl>{next} : QList<QUrl>{next, previous};
}

void AppState::preloadAdjacentImages()
{
    const QList<QUrl> wanted = neighbourUrls();
    if (wanted.isEmpty())
        return;

    QHash<QUrl, QImage> kept;
    for (const QUrl& url : wanted) {
        auto it = m_preloadedImages.constFind(url);
        if (it != m_preloadedImages.cend())
            kept.insert(url, *it);
    }
    setPreloadedImages(kept);
    for (auto it = m_preloadStamps.begin(); it != m_preloadStamps.end();)
        it = kept.contains(it.key()) ? std::next(it) : m_preloadStamps.erase(it);

    for (const QUrl& url : wanted) {
        if (m_preloadedImages.contains(url))
            continue;
        const QString path = url.toLocalFile();
        // The watcher belongs to this model: its result arrives on this thread, and never
        // once the model is gone.
        auto* watcher = new QFutureWatcher<Preload>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, path] {
            const Preload preload = watcher->result();
            watcher->deleteLater();
            // Rewritten while it was decoded: that copy is already stale.
            const bool current = preload.stamp && preload.stamp == FileStamp::of(path);
            if (preload.image && current) {
                m_preloadStamps.insert(url, *preload.stamp);
                insertPreloadedImage(url, *preload.image);
            } else if (m_preloadedImages.contains(url)) {
                m_preloadStamps.remove(url);
                takePreloadedImage(url);
            }
        });
        watcher->setFuture(QtConcurrent::run(&workPool(), [path] {
            Preload preload;
            preload.stamp = FileStamp::of(path);
            preload.image = imaging::decodeImage(path);
            return preload;
        }));
    }
}
