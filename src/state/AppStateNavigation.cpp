// The model's opening and stepping, its neighbours decoded ahead and its folder kept true to
// the disk. The machinery lives in PreloadCache and FolderSession; this is what the model does
// with them.
#include "state/AppState.h"

#include "base/FrameTrace.h"
#include "imaging/ImageService.h"
#include "state/EarlyListing.h"
#include "state/FolderListing.h"
#include "state/FolderSession.h"
#include "state/PreloadCache.h"
#include "state/ShownDecode.h"

#include <QFileInfo>
#include <QFutureWatcher>
#include <QTimer>

void AppState::openFile(const QUrl& url)
{
    if (QFileInfo(url.toLocalFile()).isDir()) {
        openFolder(url);
        return;
    }
    // A file opened anew has no way walked yet.
    m_direction = 0;
    m_turnedBack = false;
    // A file handed over while a picture is on screen: that picture stays until the new one is
    // at hand, and the window goes on answering meanwhile.
    if (hasPicture() && imaging::decodesSlowly(url.toLocalFile())) {
        m_pendingOpen = true;
        m_shownDecode->start(url, m_viewPixels);
        return;
    }
    m_shownDecode->cancel();
    m_pendingOpen = false;
    // At start the rows come once the picture is on screen, unless they are what is shown:
    // reading them held a small picture back. Otherwise read first: a picture decoded at
    // start is finished meanwhile.
    const bool metadataLater = m_preloadsHeld && m_overlayMode != OverlayMode::metadata;
    m_metadataLater = metadataLater ? url : QUrl();
    const MetadataRows metadata =
        metadataLater ? MetadataRows() : imaging::extractMetadata(url.toLocalFile());
    const std::optional<QFuture<void>> listing =
        folder::detail::earlyListingUnderWay(QFileInfo(url.toLocalFile()).path());
    if (listing) {
        // A big folder is still being read: the picture goes on screen first, under its name
        // alone, and its position follows with the listing.
        assignPlace(url, {}, 0);
    } else {
        const FolderSession::Listing place = FolderSession::list(url);
        assignPlace(url, place.files, place.position);
    }
    showDecoded(url);
    setRotation(0);
    if (listing) {
        setMetadata(metadata);
        applyDisplayMode();
        auto* watcher = new QFutureWatcher<void>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url] {
            watcher->deleteLater();
            if (m_currentURL == url && m_imageFiles.isEmpty())
                placeInFolder(url);
        });
        watcher->setFuture(*listing);
        return;
    }
    setMetadata(metadata);
    applyDisplayMode();
    preloadAdjacentImages();
    watchShownFolder();
}

void AppState::placeInFolder(const QUrl& url)
{
    loadDirectory(url);
    if (base::FrameTrace::isOn())
        base::FrameTrace::note("listed", windowTitle());
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
    noteCopiesChanged(m_preloads->keepOnly({}));
    watchShownFolder();
}

void AppState::loadDirectory(const QUrl& openedFile)
{
    const FolderSession::Listing listing = FolderSession::list(openedFile);
    assignPlace(m_currentURL, listing.files, listing.position);
}

void AppState::assignPlace(const std::optional<QUrl>& url, const QList<QUrl>& files,
                           qint64 position)
{
    const bool urlChanged = m_currentURL != url;
    const bool filesChanged = m_imageFiles != files;
    const bool indexChanged = m_currentIndex != position;
    m_currentURL = url;
    m_imageFiles = files;
    m_currentIndex = position;
    if (filesChanged)
        Q_EMIT imageFilesChanged();
    if (indexChanged)
        Q_EMIT currentIndexChanged();
    if (urlChanged)
        Q_EMIT currentURLChanged();
    if (urlChanged || filesChanged || indexChanged)
        Q_EMIT windowTitleChanged();
}

std::optional<QImage> AppState::decodeShown(const QString& path, imaging::DecodeFailure* failure)
{
    if (m_early) {
        if (auto early = m_early->takeResult(path)) {
            *failure = early->second;
            return std::move(early->first);
        }
    }
    return imaging::decodeImage(path, failure);
}

void AppState::showDecoded(const QUrl& url)
{
    const QString path = url.toLocalFile();
    // Read before decoding: a rewrite during the decode then shows up as a change.
    m_shownStamp = base::FileStamp::of(path);
    if (m_early) {
        if (std::optional<imaging::Preview> preview = m_early->takePreview(path)) {
            showPreview(url, *preview);
            return;
        }
    }
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    setCurrentImage(decodeShown(path, &failure));
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
        else if (m_early)
            m_early->takeResult(url.toLocalFile());
    });
    watcher->setFuture(m_early->done());
}

void AppState::finishPreview()
{
    if (!m_currentPreview || !m_currentURL)
        return;
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    setCurrentImage(decodeShown(m_currentURL->toLocalFile(), &failure));
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
    stepBy(1);
}

void AppState::previousImage()
{
    stepBy(-1);
}

void AppState::stepBy(qint64 delta)
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return;
    const qint64 from = targetIndex();
    const qint64 target = ((from + delta) % count + count) % count;
    if (target == from)
        return;
    noteDirection(delta > 0 ? 1 : -1);
    showPosition(target);
}

void AppState::goToImage(qint64 index)
{
    if (index < 0 || index >= m_imageFiles.size() || index == targetIndex())
        return;
    noteDirection(index > targetIndex() ? 1 : -1);
    showPosition(index);
}

void AppState::noteDirection(int direction)
{
    m_turnedBack = m_direction != 0 && direction != m_direction;
    m_direction = direction;
}

std::optional<QUrl> AppState::neighbourBehind() const
{
    const QList<QUrl> neighbours = neighbourUrls();
    if (m_turnedBack || neighbours.size() < 2)
        return std::nullopt;
    // Before the first step a person is taken to go forward.
    return m_direction < 0 ? neighbours.first() : neighbours.last();
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
    stepBy(std::exchange(m_pendingStep, 0));
}

void AppState::loadCurrentImage()
{
    // Every caller keeps the index in range; a stale one must still not read past the list.
    if (m_currentIndex < 0 || m_currentIndex >= m_imageFiles.size())
        return;
    showPosition(m_currentIndex);
}

void AppState::reloadCurrentImage()
{
    if (!m_currentURL)
        return;
    const QUrl url = *m_currentURL;
    showDecoded(url);
    setMetadata(imaging::extractMetadata(url.toLocalFile()));
    // The cached copy shows the file as it was before the rewrite.
    takePreloadedImage(url);
}

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

void AppState::holdPreloads(int timeoutMs)
{
    m_preloadsHeld = true;
    QTimer::singleShot(timeoutMs, this, &AppState::releasePreloads);
}

void AppState::releasePreloads()
{
    writeUnwrittenPreferences();
    folder::detail::releaseEarlyListing();
    if (m_early)
        m_early->previewShown();
    if (const QUrl url = std::exchange(m_metadataLater, QUrl());
        url.isValid() && url == m_currentURL)
        setMetadata(imaging::extractMetadata(url.toLocalFile()));
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
    const bool trimmed = m_preloads->keepOnly(wanted);
    const bool scaledDown = m_preloads->decode(wanted, neighbourBehind(), m_viewPixels);
    noteCopiesChanged(trimmed || scaledDown);
}

bool AppState::isDecodingAhead(qint64 delta) const
{
    const qint64 count = m_imageFiles.size();
    if (count < 2)
        return false;
    const qint64 index = ((targetIndex() + delta) % count + count) % count;
    return m_preloads->isDecoding(m_imageFiles.at(index));
}

void AppState::refreshFolder()
{
    if (!m_currentURL)
        return;
    const QUrl shown = *m_currentURL;
    const QList<QUrl> neighboursBefore = neighbourUrls();
    const FolderSession::Refresh refresh = FolderSession::refresh(shown, m_shownStamp, m_imageFiles);
    const bool dropped = m_preloads->dropStale();
    noteCopiesChanged(dropped);
    using Shown = FolderSession::Refresh::Shown;
    if (refresh.shown == Shown::Removed) {
        // Loading what takes its place preloads and watches anew.
        setImageFiles(refresh.files);
        showInPlaceOfRemoved(refresh.position);
        if (!m_currentURL)
            watchShownFolder();
        return;
    }
    if (refresh.shown == Shown::Renamed) {
        // The same file goes on being shown under its new name.
        setCurrentURL(*refresh.renamedTo);
        setImageFiles(refresh.files);
        setCurrentIndex(refresh.position);
        setMetadata(imaging::extractMetadata(refresh.renamedTo->toLocalFile()));
    } else {
        setImageFiles(refresh.files);
        setCurrentIndex(refresh.position);
        // A rotation being written brings its own picture.
        if (refresh.shown == Shown::Rewritten && m_fileRotation->file() != shown)
            reloadCurrentImage();
    }
    // Neighbours still being decoded would be decoded twice: start only what is missing anew.
    if (dropped || neighbourUrls() != neighboursBefore)
        preloadAdjacentImages();
    watchShownFolder();
}

void AppState::showInPlaceOfRemoved(qint64 position)
{
    const qint64 count = m_imageFiles.size();
    if (count == 0) {
        clearShownFile();
        return;
    }
    setCurrentIndex(std::clamp<qint64>(position, 0, count - 1));
    loadCurrentImage();
}

void AppState::watchShownFolder()
{
    // The folder tells of names coming and going; the shown file and its neighbours, of
    // rewrites in place.
    m_folder->watch(m_currentURL, neighbourUrls());
}
