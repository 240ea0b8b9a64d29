// Opening, stepping and decoding neighbours ahead.
#include "state/AppState.h"

#include "imaging/ImageService.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

void AppState::openFile(const QUrl& url)
{
    setCurrentURL(url);
    setCurrentImage(imaging::decodeImage(url.toLocalFile()));
    setRotation(0);
    loadDirectory(url);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    applyDisplayMode();
    preloadAdjacentImages();
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
    std::optional<QImage> image = takePreloadedImage(url);
    if (!image)
        image = imaging::decodeImage(url.toLocalFile());
    setCurrentImage(image);
    setRotation(0);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    preloadAdjacentImages();
}

void AppState::reloadCurrentImage()
{
    if (!m_currentURL)
        return;
    const QUrl url = *m_currentURL;
    setCurrentImage(imaging::decodeImage(url.toLocalFile()));
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    // The cached copy shows the file as it was before the rewrite.
    takePreloadedImage(url);
}

void AppState::preloadAdjacentImages()
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    const QUrl next = m_imageFiles.at((m_currentIndex + 1) % count);
    const QUrl previous = m_imageFiles.at((m_currentIndex - 1 + count) % count);

    QHash<QUrl, QImage> kept;
    for (const QUrl& url : {next, previous}) {
        auto it = m_preloadedImages.constFind(url);
        if (it != m_preloadedImages.cend())
            kept.insert(url, *it);
    }
    setPreloadedImages(kept);

    // With two images both neighbours are one file: decode it once.
    QList<QUrl> wanted{next};
    if (previous != next)
        wanted.append(previous);
    for (const QUrl& url : wanted) {
        if (m_preloadedImages.contains(url))
            continue;
        const QString path = url.toLocalFile();
        // The watcher belongs to this model: its result arrives on this thread, and never
        // once the model is gone.
        auto* watcher = new QFutureWatcher<std::optional<QImage>>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url] {
            const std::optional<QImage> image = watcher->result();
            watcher->deleteLater();
            if (image)
                insertPreloadedImage(url, *image);
            else if (m_preloadedImages.contains(url))
                takePreloadedImage(url);
        });
        watcher->setFuture(QtConcurrent::run([path] { return imaging::decodeImage(path); }));
    }
}
