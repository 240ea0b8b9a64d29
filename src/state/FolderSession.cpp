#include "state/FolderSession.h"

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

FolderSession::FolderSession(QObject* parent) : QObject(parent), m_watcher(new FolderWatcher(this))
{
    connect(m_watcher, &FolderWatcher::changed, this, &FolderSession::changed);
}

FolderSession::~FolderSession() = default;

FolderSession::Listing FolderSession::list(const QUrl& openedFile)
{
    const std::optional<QList<QUrl>> listed = folder::listImages(openedFile);
    if (!listed)
        return {{openedFile}, 0};
    const qsizetype position = listed->indexOf(openedFile);
    return {*listed, position < 0 ? 0 : position};
}

void FolderSession::watch(const std::optional<QUrl>& shown, const QList<QUrl>& others)
{
    if (!shown) {
        m_watcher->watch({}, {});
        return;
    }
    QStringList files{shown->toLocalFile()};
    for (const QUrl& url : others)
        files.append(url.toLocalFile());
    const QString folder =
        shown->adjusted(QUrl::RemoveFilename | QUrl::StripTrailingSlash).toLocalFile();
    m_watcher->watch(folder.isEmpty() ? QStringLiteral("/") : folder, files);
}

FolderSession::Refresh FolderSession::refresh(const QUrl& shown,
                                              const std::optional<base::FileStamp>& shownStamp,
                                              const QList<QUrl>& before)
{
    Refresh refresh;
    const std::optional<base::FileStamp> stamp = base::FileStamp::of(shown.toLocalFile());
    const std::optional<QList<QUrl>> listed = folder::listImages(shown);
    if (!stamp && shownStamp) {
        refresh.files = listed.value_or(QList<QUrl>{});
        refresh.renamedTo = renamedTo(refresh.files, before, *shownStamp);
        if (refresh.renamedTo) {
            refresh.shown = Refresh::Shown::Renamed;
            refresh.position = refresh.files.indexOf(*refresh.renamedTo);
        } else {
            refresh.shown = Refresh::Shown::Removed;
            refresh.position = folder::naturalPosition(refresh.files, shown);
        }
        return refresh;
    }
    // As when opening: an unreadable folder leaves the shown file alone in the list.
    refresh.files = listed.value_or(QList<QUrl>{shown});
    const qsizetype position = refresh.files.indexOf(shown);
    refresh.position = position < 0 ? 0 : position;
    // Rewritten, or there at last: the pixels on screen are no longer the file's.
    refresh.shown = stamp != shownStamp ? Refresh::Shown::Rewritten : Refresh::Shown::Kept;
    return refresh;
}
