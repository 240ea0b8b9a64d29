#include "state/EarlyListing.h"

#include "base/FileStamp.h"
#include "base/ThreadPriority.h"
#include "state/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include <sys/stat.h>

namespace {

// A big folder is read on and put in order once the first picture is on screen (reading and
// sorting ten thousand names beside the window's start held its first frame back), and never
// later than this, whatever happens to the picture.
constexpr auto kLongestHold = std::chrono::seconds(1);

struct Early {
    std::mutex mutex;
    QString folder; // clean, without a trailing slash
    std::thread thread;
    base::FileStamp version; // an entry added, removed or renamed moves the folder's on
    std::optional<QList<QUrl>> files;
    // Finishes with the listing: the window may show the file before its position is known.
    QPromise<void> done;
    // Apart from the mutex above, which is held while the thread is joined.
    std::mutex holdMutex;
    std::condition_variable holdEnded;
    bool held = true;
};

Early& early()
{
    static Early instance;
    return instance;
}

} // namespace

EarlyListing::EarlyListing(const QString& argument)
{
    if (argument.isEmpty() || argument.startsWith(QLatin1Char('-')))
        return;
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return;
    QString folder = path;
    if (!S_ISDIR(info.st_mode)) {
        if (!S_ISREG(info.st_mode))
            return;
        folder = QFileInfo(path).path();
    }
    // Read before listing: an entry added meanwhile then shows up as a change.
    const std::optional<base::FileStamp> version = base::FileStamp::of(folder);
    if (!version)
        return;
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    e.folder = folder;
    e.version = *version;
    e.done = QPromise<void>();
    e.done.start();
    {
        const std::lock_guard hold(e.holdMutex);
        e.held = true;
    }
    e.thread = std::thread([&e, folder] {
        // The first picture is not waiting for it: the window and its decode come first.
        base::lowerThreadPriority(base::Yield::toWindow);
        e.files = folder::detail::readImagesIn(folder, [&e] {
            std::unique_lock hold(e.holdMutex);
            e.holdEnded.wait_for(hold, kLongestHold, [&e] { return !e.held; });
        });
        e.done.finish();
    });
}

EarlyListing::~EarlyListing()
{
    folder::detail::releaseEarlyListing();
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.thread.joinable())
        e.thread.join();
    e.folder.clear();
    e.files.reset();
}

namespace folder::detail {

std::optional<QFuture<void>> earlyListingUnderWay(const QString& folderPath)
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.folder.isEmpty() || e.folder != QDir::cleanPath(folderPath))
        return std::nullopt;
    QFuture<void> done = e.done.future();
    if (done.isFinished())
        return std::nullopt;
    return done;
}

void releaseEarlyListing()
{
    Early& e = early();
    {
        const std::lock_guard hold(e.holdMutex);
        e.held = false;
    }
    e.holdEnded.notify_all();
}

std::optional<std::optional<QList<QUrl>>> takeEarlyListing(const QString& folderPath)
{
    // Wanted now: nothing is held back for the first picture any more.
    releaseEarlyListing();
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.folder.isEmpty() || e.folder != QDir::cleanPath(folderPath))
        return std::nullopt;
    if (e.thread.joinable())
        e.thread.join();
    const QString folder = std::exchange(e.folder, QString());
    std::optional<QList<QUrl>> files = std::exchange(e.files, std::nullopt);
    if (base::FileStamp::of(folder) != e.version)
        return std::nullopt;
    return files;
}

} // namespace folder::detail
