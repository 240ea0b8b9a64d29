// What the model does when the screen's colour profile changes.
#include "state/AppState.h"

#include "base/BackgroundTask.h"
#include "imaging/ImageService.h"
#include "imaging/colour/DisplayColour.h"
#include "state/PreloadCache.h"
#include "state/ShownDecode.h"

void AppState::redecodeForScreen()
{
    // Decodes under way go on for nobody: their pictures are in the old profile's colours.
    noteCopiesChanged(m_preloads->keepOnly({}));
    // A jump's decode under way starts again, in the new colours.
    if (const std::optional<QUrl> pending = m_shownDecode->url())
        m_shownDecode->start(*pending, m_viewPixels);
    if (!m_currentURL)
        return;
    preloadAdjacentImages();
    // A preview is replaced by a whole picture decoded for the screen of the moment anyway.
    if (!m_currentImage || m_currentPreview)
        return;
    // The old colours stay on screen until the new picture is at hand: a 24 MP decode and
    // conversion is far too long for this thread.
    const QUrl url = *m_currentURL;
    const qint64 shown = m_currentImage->cacheKey();
    const std::shared_ptr<const imaging::DisplayProfile> screen = imaging::displayProfile();
    base::runInBackground(
        this,
        [path = url.toLocalFile()] {
            // Read before decoding: a rewrite during the decode then shows up as a change.
            const std::optional<base::FileStamp> stamp = base::FileStamp::of(path);
            return std::pair{imaging::decodeImage(path), stamp};
        },
        [this, url, shown, screen](const auto& decoded) {
            // Only if nothing else replaced the picture, or the profile, meanwhile.
            if (!decoded.first || m_currentURL != url || !m_currentImage ||
                m_currentImage->cacheKey() != shown || imaging::displayProfile() != screen)
                return;
            m_shownStamp = decoded.second;
            setCurrentImage(decoded.first);
        });
}
