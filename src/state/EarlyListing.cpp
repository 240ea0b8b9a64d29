#include "state/EarlyListing.h"

#include "state/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <mutex>
#include <thread>
#include <utility>

#include <sys/stat.h>

namespace {

// What changes when an entry is added, removed or renamed.
struct FolderVersion {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FolderVersion& o) const
    {
        return device == o.device && inode == o.inode && modified.tv_sec == o.modified.tv_sec &&
               modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FolderVersion> versionOf(const QString& folder)
{
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;
    return FolderVersion{info.st_dev, info.st_ino, info.st_mtim};
}

struct Early {
    std::mutex mutex;
    QString folder; // clean, without a trailing slash
    std::thread thread;
    FolderVersion version;
    std::optional<QList<QUrl>> files;
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
    const std::optional<FolderVersion> version = versionOf(folder);
    if (!version)
        return;
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    e.folder = folder;
    e.version = *version;
    e.thread = std::thread([&e, folder] { e.files = folder::detail::readImagesIn(folder); });
}

EarlyListing::~EarlyListing()
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.thread.joinable())
        e.thread.join();
    e.folder.clear();
    e.files.reset();
}

namespace folder::detail {

std::optional<std::optional<QList<QUrl>>> takeEarlyListing(const QString& folderPath)
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.folder.isEmpty() || e.folder != QDir::cleanPath(folderPath))
        return std::nullopt;
    if (e.thread.joinable())
        e.thread.join();
    e.folder.clear();
    std::optional<QList<QUrl>> files = std::exchange(e.files, std::nullopt);
    if (versionOf(QDir::cleanPath(folderPath)) != e.version)
        return std::nullopt;
    return files;
}

} // namespace folder::detail
