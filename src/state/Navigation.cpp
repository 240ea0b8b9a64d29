// Opening and stepping.
#include "state/AppState.h"

#include "imaging/ImageService.h"
#include "state/FolderListing.h"

#include <QFileInfo>
#include <QFutureWatcher>

void AppState::openFile(const QUrl& url)
{
    if (QFileInfo(url.toLocalFile()).isDir()) {
        openFolder(url);
        return;
    }
    // Read first: the picture decoded at start is finished meanwhile.
    const MetadataRows metadata = imaging::extractMetadata(url.toLocalFile());
    setCurrentURL(url);
    showDecoded(url);
    setRotation(0);
    loadDirectory(url);
    setMetadata(metadata);
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
    forgetPreloadsOutside({});
    watchShownFolder();
}

void AppState::showDecoded(const QUrl& url)
{
    const QString path = url.toLocalFile();
    // Read before decoding: a rewrite during the decode then shows up as a change.
    m_shownStamp = base::FileStamp::of(path);
    if (std::optional<imaging::Preview> preview = imaging::takeEarlyPreview(path)) {
        showPreview(url, *preview);
        return;
    }
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    setCurrentImage(imaging::decodeImage(path, &failure));
    setDecodeFailure(failure);
}

void AppState::showPreview(const QUrl& url, const imaging::Preview& preview)
{
    m_currentImage.reset();
    m_currentPreview = preview;
    setDecodeFailure(imaging::DecodeFailure::none);
    Q_EMIT currentImageChanged();
    const qint64 key = preview.image.cacheKey();
    // The watcher belongs to this model: it reports on this thread, and never once it is gone.
    auto* watcher = new QFutureWatcher<void>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, key] {
        watcher->deleteLater();
        if (m_currentPreview && m_currentPreview->image.cacheKey() == key && m_currentURL == url)
            finishPreview();
        else
            imaging::forgetEarlyDecode(url.toLocalFile());
    });
    watcher->setFuture(imaging::earlyDecodeDone());
}

void AppState::finishPreview()
{
    if (!m_currentPreview || !m_currentURL)
        return;
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    setCurrentImage(imaging::decodeImage(m_currentURL->toLocalFile(), &failure));
    setDecodeFailure(failure);
    // Neighbours held back until the first picture was drawn wait for the whole one.
    releasePreloads();
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
    showPosition((m_currentIndex + 1) % count);
}

void AppState::previousImage()
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    showPosition((m_currentIndex - 1 + count) % count);
}

void AppState::goToImage(qint64 index)
{
    if (index < 0 || index >= m_imageFiles.size() || index == m_currentIndex)
        return;
    showPosition(index);
}

void AppState::requestStep(qint64 delta)
{
    m_pendingStep += delta;
    if (!std::exchange(m_stepQueued, true))
        QMetaObject::invokeMethod(this, &AppState::takePendingStep, Qt::QueuedConnection);
}

void AppState::takePendingStep()
{
    m_stepQueued = false;
    const qint64 delta = std::exchange(m_pendingStep, 0);
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    const qint64 target = ((m_currentIndex + delta) % count + count) % count;
    if (target != m_currentIndex)
        showPosition(target);
}

void AppState::loadCurrentImage()
{
    // Every caller keeps the index in range; a stale one must still not read past the list.
    if (m_currentIndex < 0 || m_currentIndex >= m_imageFiles.size())
        return;
    showPosition(m_currentIndex);
}

void AppState::showPosition(qint64 index)
{
    const QUrl url = m_imageFiles.at(index);
    // Before a decode allocates: what is no longer the new position's neighbour goes, so that
    // at most three pictures are held however fast the steps come.
    QList<QUrl> kept = neighbourUrls(index);
    kept.append(url);
    forgetPreloadsOutside(kept);
    const std::optional<base::FileStamp> preloadStamp = m_preloadStamps.take(url);
    std::optional<QImage> image = takePreloadedImage(url);
    std::optional<base::FileStamp> stamp = preloadStamp;
    if (!image) {
        if (auto awaited = awaitPreload(url)) {
            image = std::move(awaited->first);
            stamp = awaited->second;
        }
    }
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    if (!image) {
        // Read before decoding: a rewrite during the decode then shows up as a change.
        stamp = base::FileStamp::of(url.toLocalFile());
        image = imaging::decodeImage(url.toLocalFile(), &failure);
    }
    // The picture shown so far stays at hand when it becomes a neighbour: no decode again.
    const std::optional<QUrl> previousUrl = m_currentURL;
    const std::optional<QImage> previousImage = m_currentImage;
    const std::optional<base::FileStamp> previousStamp = m_shownStamp;
    // Everything that describes the new file changes together, with no event in between.
    m_shownStamp = stamp;
    setCurrentIndex(index);
    setCurrentURL(url);
    setCurrentImage(image);
    setDecodeFailure(failure);
    setRotation(0);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    if (previousUrl && previousImage && previousStamp && *previousUrl != url &&
        neighbourUrls().contains(*previousUrl)) {
        m_preloadStamps.insert(*previousUrl, *previousStamp);
        insertPreloadedImage(*previousUrl, *previousImage);
    }
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
