#include "desktop/FileReplacement.h"

#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace desktop {

namespace {

// Gives the new file the old one's owner, group and permission bits. Only root may give a
// file away; a group we cannot set must not inherit the group's access.
bool carryOwnership(int fd, const struct stat& original)
{
    mode_t mode = original.st_mode & 07777;
    if (::fchown(fd, original.st_uid, original.st_gid) != 0 &&
        ::fchown(fd, uid_t(-1), original.st_gid) != 0) {
        struct stat now {};
        if (::fstat(fd, &now) != 0)
            return false;
        if (now.st_gid != original.st_gid)
            mode &= ~mode_t(S_IRWXG | S_ISGID);
    }
    return ::fchmod(fd, mode) == 0;
}

// Makes the rename itself durable. Nothing is undone if this fails: the file is in place.
void syncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Makes the written file as the original was and flushes it to disk.
bool finish(const QByteArray& temporary, const struct stat& original)
{
    const int fd = ::open(temporary.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat written {};
    const bool ok = ::fstat(fd, &written) == 0 && S_ISREG(written.st_mode) &&
                    carryOwnership(fd, original) && ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

QString temporaryPathFor(const QString& path)
{
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.") +
           QUuid::createUuid().toString(QUuid::WithoutBraces) + QLatin1Char('.') + info.suffix();
}

bool replaceFile(const QString& path, const FileWriter& write)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QByteArray targetName = QFile::encodeName(target);
    struct stat original {};
    // A file the user has made read-only is not rewritten behind its back through the folder,
    // whoever asks: root passes access(W_OK) for any file, so the owner's write bit decides too.
    if (::stat(targetName.constData(), &original) != 0 || !S_ISREG(original.st_mode) ||
        (original.st_mode & S_IWUSR) == 0 || ::access(targetName.constData(), W_OK) != 0)
        return false;

    const QString temporary = temporaryPathFor(target);
    const QByteArray temporaryName = QFile::encodeName(temporary);
    struct stat existing {};
    if (::lstat(temporaryName.constData(), &existing) == 0)
        return false; // never ours to remove
    if (write(target, temporary) && finish(temporaryName, original) &&
        ::rename(temporaryName.constData(), targetName.constData()) == 0) {
        syncFolder(QFileInfo(target).absolutePath());
        return true;
    }
    ::unlink(temporaryName.constData());
    return false;
}

} // namespace desktop
