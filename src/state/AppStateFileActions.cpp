// What the model does to the shown file: hands it to the rest of the desktop (clipboard, file
// manager, other applications, Trash) and turns it.
#include "state/AppState.h"

#include "base/BackgroundTask.h"
#include "desktop/Clipboard.h"
#include "desktop/FileManager.h"
#include "desktop/Trash.h"
#include "imaging/colour/DisplayColour.h"

#include <cmath>

void AppState::copyImageToPasteboard()
{
    // The whole picture, never its preview; other programs get sRGB, not the screen's colours.
    finishPreview();
    if (m_currentImage)
        desktop::copyImage(imaging::inSrgb(*m_currentImage), m_currentURL.value_or(QUrl()));
}

void AppState::revealInFinder()
{
    if (m_currentURL)
        desktop::revealFile(m_currentURL->toLocalFile());
}

QList<desktop::OpenWithApp> AppState::openWithApplications() const
{
    return m_currentURL ? desktop::applicationsToOpen(m_currentURL->toLocalFile())
                        : QList<desktop::OpenWithApp>{};
}

void AppState::openWith(const QUrl& application)
{
    if (m_currentURL)
        desktop::launchApplication(application, *m_currentURL);
}

void AppState::deleteCurrentImage()
{
    if (!m_currentURL || m_beingTrashed.contains(*m_currentURL))
        return;
    const QUrl url = *m_currentURL;
    m_beingTrashed.insert(url);
    // The Trash may wait on a slow or stale disk: never on this thread.
    base::runInBackground(
        this, [path = url.toLocalFile()] { return desktop::moveToTrash(path); },
        [this, url](const std::optional<QString>& error) { trashFinished(url, error); });
}

void AppState::trashFinished(const QUrl& url, const std::optional<QString>& error)
{
    m_beingTrashed.remove(url);
    if (error) {
        setDeleteError(*error);
        return;
    }
    // The index names the shown file in every flow; should it not, the trashed file still
    // leaves the list and no other does. The user may have stepped on meanwhile, and the
    // folder's watch may have taken the file out already.
    const bool shown = m_currentURL == url;
    const bool inStep = shown && m_currentIndex >= 0 && m_currentIndex < m_imageFiles.size() &&
                        m_imageFiles.at(m_currentIndex) == url;
    const qsizetype at = inStep ? m_currentIndex : m_imageFiles.indexOf(url);
    if (at < 0) {
        takePreloadedImage(url);
        return;
    }
    QList<QUrl> files = m_imageFiles;
    files.removeAt(at);
    setImageFiles(files);
    takePreloadedImage(url);
    if (shown) {
        showInPlaceOfRemoved(at);
        return;
    }
    if (at < m_currentIndex)
        setCurrentIndex(m_currentIndex - 1);
    preloadAdjacentImages();
}

namespace {

double turnedBy(double degrees, int quarterTurns)
{
    const double turned = std::fmod(degrees + 90.0 * quarterTurns, 360.0);
    return turned < 0 ? turned + 360.0 : turned;
}

} // namespace

void AppState::rotateClockwise()
{
    rotateBy(1);
}

void AppState::rotateCounterclockwise()
{
    rotateBy(-1);
}

// The view turns at once; the file follows in the background, and where it cannot be rewritten
// only the view stays turned.
void AppState::rotateBy(int quarterTurns)
{
    if (!m_currentURL)
        return;
    setRotation(turnedBy(m_rotation, quarterTurns));
    rewriteTurnedFile();
}

void AppState::rewriteTurnedFile()
{
    // A view still turned by an earlier failed rewrite hands its turns on to the file, so the
    // picture ends up where the user turned it once the view is reset.
    const int fileTurns = (int(std::lround(m_rotation / 90.0)) % 4 + 4) % 4;
    if (!m_currentURL || fileTurns == 0 || m_fileRotation->file())
        return;
    m_rewrittenViewKey = m_currentImage ? m_currentImage->cacheKey() : 0;
    m_fileRotation->start(*m_currentURL, fileTurns);
}

void AppState::rewriteFinished(const QUrl& url, int quarterTurns, const FileRotation::Result& result)
{
    if (!result.written)
        return;
    // The cached copy shows the file as it was before the rewrite.
    takePreloadedImage(url);
    Q_EMIT fileRewritten(url);
    if (m_currentURL == url) {
        // The picture and the view's turn change together, so nothing turns twice. A picture
        // read again meanwhile (the user stepped away and back) had its turn reset.
        const bool sameView = m_currentImage && m_currentImage->cacheKey() == m_rewrittenViewKey;
        m_shownStamp = result.stamp;
        setCurrentImage(result.image);
        setDecodeFailure(result.failure);
        setRotation(sameView ? turnedBy(m_rotation, -quarterTurns) : 0);
        setMetadata(result.metadata);
    } else {
        preloadAdjacentImages();
    }
    // Turns asked for meanwhile.
    rewriteTurnedFile();
}
