// How the model puts a file on screen: from the copies decoded ahead, on this thread when that
// is quick, or in the background when it is not, the window answering meanwhile.
#include "state/AppState.h"

#include "imaging/ImageService.h"
#include "state/FolderSession.h"
#include "state/PreloadCache.h"
#include "state/ShownDecode.h"

qint64 AppState::targetIndex() const
{
    if (const std::optional<QUrl>& pending = m_shownDecode->url()) {
        const qint64 at = m_imageFiles.indexOf(*pending);
        if (at >= 0)
            return at;
    }
    return m_currentIndex;
}

void AppState::showPosition(qint64 index)
{
    const QUrl url = m_imageFiles.at(index);
    // Back to the file on screen while another was on its way: that one is called off.
    if (url == m_currentURL && hasPicture() && m_shownDecode->url() && m_shownDecode->url() != url) {
        m_shownDecode->cancel();
        setCurrentIndex(index);
        preloadAdjacentImages();
        return;
    }
    // Before a decode allocates: what is no longer the new position's neighbour goes, so that
    // at most three pictures are held however fast the steps come.
    QList<QUrl> kept = neighbourUrls(index);
    kept.append(url);
    bool copiesChanged = m_preloads->keepOnly(kept);
    ShownPicture picture;
    const QString path = url.toLocalFile();
    if (auto taken = m_preloads->take(url)) {
        copiesChanged = true;
        picture.image = taken->first;
        picture.stamp = taken->second;
    } else if (auto held = m_preloads->takePreview(url)) {
        // Held scaled down behind the way a person walked: it looks the same fitted, at once,
        // and the whole picture follows for the zoom.
        picture.preview = std::move(held->preview);
        picture.stamp = held->stamp;
        m_shownDecode->cancel();
        commitPosition(index, picture, copiesChanged);
        m_shownDecode->start(url, QSize());
        return;
    } else if (imaging::decodesSlowly(path)) {
        // A decode of it already under way as a neighbour's is taken over, not begun again.
        m_pendingOpen = false;
        m_shownDecode->start(url, m_viewPixels, m_preloads->handOver(url));
        noteCopiesChanged(copiesChanged);
        return;
    } else if (auto awaited = m_preloads->await(url)) {
        picture.image = awaited->first;
        picture.stamp = awaited->second;
    }
    if (!picture.image) {
        // Read before decoding: a rewrite during the decode then shows up as a change.
        picture.stamp = base::FileStamp::of(path);
        picture.image = imaging::decodeImage(path, &picture.failure);
    }
    m_shownDecode->cancel();
    commitPosition(index, picture, copiesChanged);
}

void AppState::commitPosition(qint64 index, const ShownPicture& picture, bool copiesChanged)
{
    const QUrl url = m_imageFiles.at(index);
    // The picture shown so far stays at hand when it becomes a neighbour: no decode again.
    if (m_currentURL && m_currentImage && m_shownStamp && *m_currentURL != url &&
        neighbourUrls(index).contains(*m_currentURL)) {
        m_preloads->insert(*m_currentURL, *m_currentImage, m_shownStamp);
        copiesChanged = true;
    }
    // Everything that describes the new file is assigned first and told after, so that a step
    // is one change of the title, of the picture and of the copies held.
    const bool indexChanged = std::exchange(m_currentIndex, index) != index;
    const bool urlChanged = m_currentURL != url;
    m_currentURL = url;
    const bool hadPreview = std::exchange(m_currentPreview, picture.preview).has_value();
    const std::optional<QImage>& image = picture.image;
    const bool imageChanged =
        hadPreview || picture.preview || m_currentImage.has_value() != image.has_value() ||
        (image && m_currentImage->cacheKey() != image->cacheKey());
    m_currentImage = image;
    const bool failureChanged = std::exchange(m_decodeFailure, picture.failure) != picture.failure;
    const bool rotationChanged = std::exchange(m_rotation, 0.0) != 0.0;
    m_shownStamp = picture.stamp;
    m_metadata = imaging::extractMetadata(url.toLocalFile());
    if (indexChanged)
        Q_EMIT currentIndexChanged();
    if (urlChanged)
        Q_EMIT currentURLChanged();
    if (indexChanged || urlChanged)
        Q_EMIT windowTitleChanged();
    if (imageChanged)
        Q_EMIT currentImageChanged();
    if (failureChanged)
        Q_EMIT decodeFailureChanged();
    if (rotationChanged)
        Q_EMIT this->rotationChanged();
    Q_EMIT metadataChanged();
    noteCopiesChanged(copiesChanged);
    preloadAdjacentImages();
    watchShownFolder();
}

void AppState::commitOpen(const QUrl& url, const ShownPicture& picture)
{
    const MetadataRows metadata = imaging::extractMetadata(url.toLocalFile());
    const FolderSession::Listing listing = FolderSession::list(url);
    assignPlace(url, listing.files, listing.position);
    m_shownStamp = picture.stamp;
    if (picture.preview) {
        m_currentImage.reset();
        m_currentPreview = picture.preview;
        Q_EMIT currentImageChanged();
    } else {
        setCurrentImage(picture.image);
    }
    setDecodeFailure(picture.failure);
    setRotation(0);
    setMetadata(metadata);
    applyDisplayMode();
    preloadAdjacentImages();
    watchShownFolder();
}

void AppState::shownPreviewDecoded(const QUrl& url, const imaging::Preview& preview)
{
    ShownPicture picture;
    picture.preview = preview;
    picture.stamp = base::FileStamp::of(url.toLocalFile());
    commitArrival(url, picture);
}

void AppState::shownWholeDecoded(const QUrl& url, const ShownPicture& picture)
{
    // Its preview on screen: the whole picture takes its place, the rest stays as it is.
    if (m_currentURL == url && m_currentPreview) {
        m_shownStamp = picture.stamp;
        setCurrentImage(picture.image);
        setDecodeFailure(picture.failure);
        return;
    }
    commitArrival(url, picture);
}

void AppState::commitArrival(const QUrl& url, const ShownPicture& picture)
{
    if (std::exchange(m_pendingOpen, false)) {
        commitOpen(url, picture);
        return;
    }
    // The folder may have changed meanwhile: the file is shown where it stands now.
    const qint64 index = m_imageFiles.indexOf(url);
    if (index >= 0)
        commitPosition(index, picture, false);
}
