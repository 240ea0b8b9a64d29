// Quarter turns: the view turns at once, the file follows in the background; when the file
// cannot be rewritten only the view stays turned.
#include "state/AppState.h"

#include "desktop/FileReplacement.h"
#include "imaging/ImageService.h"
#include "base/WorkPool.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <cmath>

namespace {

// What a rewrite in the background brings back: on success the file as it now is.
struct Rewrite {
    bool written = false;
    std::optional<base::FileStamp> stamp;
    std::optional<QImage> image;
    imaging::DecodeFailure failure = imaging::DecodeFailure::none;
    MetadataRows metadata;
};

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

void AppState::rotateBy(int quarterTurns)
{
    if (!m_currentURL)
        return;
    setRotation(turnedBy(m_rotation, quarterTurns));
    rewriteTurnedFile();
}

void AppState::rewriteTurnedFile()
{
    // One rewrite at a time: turns asked for meanwhile follow when it is done.
    if (m_rewriteUnderWay || !m_currentURL)
        return;
    // A view still turned by an earlier failed rewrite hands its turns on to the file, so the
    // picture ends up where the user turned it once the view is reset.
    const int fileTurns = (int(std::lround(m_rotation / 90.0)) % 4 + 4) % 4;
    if (fileTurns == 0)
        return;
    const QUrl url = *m_currentURL;
    m_rewriteUnderWay = url;
    const qint64 shownKey = m_currentImage ? m_currentImage->cacheKey() : 0;
    // The watcher belongs to this model: its result arrives on this thread, and never once the
    // model is gone.
    auto* watcher = new QFutureWatcher<Rewrite>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, fileTurns, shownKey] {
        const Rewrite rewrite = watcher->result();
        watcher->deleteLater();
        m_rewriteUnderWay.reset();
        if (!rewrite.written)
            return;
        // The cached copy shows the file as it was before the rewrite.
        m_preloadStamps.remove(url);
        takePreloadedImage(url);
        Q_EMIT fileRewritten(url);
        if (m_currentURL == url) {
            // The picture and the view's turn change together, so nothing turns twice. A
            // picture read again meanwhile (the user stepped away and back) had its turn reset.
            const bool sameView = m_currentImage && m_currentImage->cacheKey() == shownKey;
            m_shownStamp = rewrite.stamp;
            setCurrentImage(rewrite.image);
            setDecodeFailure(rewrite.failure);
            setRotation(sameView ? turnedBy(m_rotation, -fileTurns) : 0);
            setMetadata(rewrite.metadata);
        } else {
            preloadAdjacentImages();
        }
        rewriteTurnedFile();
    });
    const QString path = url.toLocalFile();
    watcher->setFuture(QtConcurrent::run(&base::workPool(), [path, fileTurns] {
        Rewrite rewrite;
        rewrite.written =
            desktop::replaceFile(path, [fileTurns](const QString& source, const QString& temporary) {
                return imaging::writeRotatedFile(source, temporary, fileTurns);
            });
        if (rewrite.written) {
            // Read before decoding: a rewrite during the decode then shows up as a change.
            rewrite.stamp = base::FileStamp::of(path);
            rewrite.image = imaging::decodeImage(path, &rewrite.failure);
            rewrite.metadata = imaging::extractMetadata(path);
        }
        return rewrite;
    }));
}
