// Keeping the list, the position and the shown image true to the folder on disk.
#include "state/AppState.h"

#include "imaging/ImageService.h"
#include "state/FolderListing.h"
#include "state/FolderWatcher.h"

#include <QSet>

namespace {

// The entry of files that is the given version of a file under another name, if any. Only
// names new to the list are looked at: one stat each.
std::optional<QUrl> renamedTo(const QList<QUrl>& files, const QList<QUrl>& before,
                              const base::FileStamp& stamp)
{
    const QSet<QUrl> known(before.cbegin(), before.cend());
    for (const QUrl& url : files) {
        if (!known.contains(url) && base::FileStamp::of(url.toLocalFile()) == stamp)
            return url;
    }
    return std::nullopt;
}

} // namespace

void AppState::refreshFolder()
{
    if (!m_currentURL)
        return;
    const QUrl shown = *m_currentURL;
    const QList<QUrl> neighboursBefore = neighbourUrls();
    const std::optional<base::FileStamp> stamp = base::FileStamp::of(shown.toLocalFile());
    const std::optional<QList<QUrl>> listed = folder::listImages(shown);
    const bool dropped = dropStalePreloads();

    if (!stamp && m_shownStamp) {
        const QList<QUrl> files = listed.value_or(QList<QUrl>{});
        const std::optional<QUrl> renamed = renamedTo(files, m_imageFiles, *m_shownStamp);
        if (!renamed) {
            // Removed. Loading what takes its place preloads and watches anew.
            setImageFiles(files);
            showInPlaceOfRemoved(folder::naturalPosition(files, shown));
            if (!m_currentURL)
                watchShownFolder();
            return;
        }
        // Renamed: the same file goes on being shown under its new name.
        setCurrentURL(*renamed);
        setImageFiles(files);
        setCurrentIndex(files.indexOf(*renamed));
        setMetadata(imaging::extractMetadata(renamed->toLocalFile()));
    } else {
        // As when opening: an unreadable folder leaves the shown file alone in the list.
        const QList<QUrl> files = listed.value_or(QList<QUrl>{shown});
        const qsizetype position = files.indexOf(shown);
        setImageFiles(files);
        setCurrentIndex(position < 0 ? 0 : position);
        // Rewritten, or there at last: the pixels on screen are no longer the file's. A rotation
        // being written brings its own picture.
        if (stamp != m_shownStamp && m_rewriteUnderWay != shown)
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

bool AppState::dropStalePreloads()
{
    bool dropped = false;
    const QList<QUrl> held = m_preloadedImages.keys();
    for (const QUrl& url : held) {
        const auto recorded = m_preloadStamps.constFind(url);
        if (recorded == m_preloadStamps.cend() || base::FileStamp::of(url.toLocalFile()) != *recorded) {
            m_preloadStamps.remove(url);
            takePreloadedImage(url);
            dropped = true;
        }
    }
    return dropped;
}

void AppState::watchShownFolder()
{
    if (!m_currentURL) {
        m_folderWatcher->watch({}, {});
        return;
    }
    // The folder tells of names coming and going; the shown file and its neighbours, of
    // rewrites in place.
    QStringList files{m_currentURL->toLocalFile()};
    for (const QUrl& url : neighbourUrls())
        files.append(url.toLocalFile());
    const QString folder =
        m_currentURL->adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash).toLocalFile();
    m_folderWatcher->watch(folder.isEmpty() ? QStringLiteral("/") : folder, files);
}
