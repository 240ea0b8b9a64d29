#include "thumbnailcache/ThumbnailStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QUrl>

#include <sys/stat.h>

namespace thumbnailstore {

namespace {

// Folders by size, smallest first: a larger one is scaled down when the normal one is missing.
const char* const kSizes[] = {"normal", "large", "x-large", "xx-large"};
constexpr int kLargestSide = 1024;
// Whoever else writes this cache is not trusted: a thumbnail is small, or it is no thumbnail.
constexpr qint64 kLargestFile = 8 << 20;
const QString kFailFolder = QStringLiteral("fail/pelu-1");

const char* const kUriKey = "Thumb::URI";
const char* const kMTimeKey = "Thumb::MTime";
const char* const kSizeKey = "Thumb::Size";

// Which version of the file a thumbnail shows. The standard keys on whole seconds; the size
// tells apart two versions written within one second.
struct Version {
    QString mtime;
    QString size;
};

std::optional<Version> version(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return Version{QString::number(qint64(info.st_mtim.tv_sec)),
                   QString::number(qint64(info.st_size))};
}

QString absolute(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// A thumbnail of this version of the file, small enough to be one; null otherwise.
QImage readMatching(const QString& file, const QByteArray& uri, const Version& wanted)
{
    const QFileInfo info(file);
    if (!info.isFile() || info.size() > kLargestFile)
        return {};
    QImageReader reader(file, "png");
    reader.setAutoDetectImageFormat(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.width() > kLargestSide || size.height() > kLargestSide)
        return {};
    const QImage image = reader.read();
    if (image.isNull() || image.text(QString::fromLatin1(kUriKey)).toUtf8() != uri ||
        image.text(QString::fromLatin1(kMTimeKey)) != wanted.mtime)
        return {};
    // Optional in the standard: other writers may leave it out.
    const QString bytes = image.text(QString::fromLatin1(kSizeKey));
    if (!bytes.isEmpty() && bytes != wanted.size)
        return {};
    return image;
}

bool writeThumbnail(const QString& folder, const QString& path, QImage image)
{
    const std::optional<Version> current = version(path);
    if (!current || !QDir().mkpath(folder))
        return false;
    // The standard wants the cache private to its user.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    image.setText(QString::fromLatin1(kUriKey), QString::fromUtf8(fileUri(path)));
    image.setText(QString::fromLatin1(kMTimeKey), current->mtime);
    image.setText(QString::fromLatin1(kSizeKey), current->size);
    image.setText(QStringLiteral("Software"), QStringLiteral("Pelu"));
    QSaveFile file(folder + QLatin1Char('/') + thumbnailName(path));
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || !image.save(&file, "png"))
        return false;
    return file.commit();
}

} // namespace

QString cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
           QStringLiteral("/thumbnails");
}

QByteArray fileUri(const QString& path)
{
    return QUrl::fromLocalFile(absolute(path)).toEncoded();
}

QString thumbnailName(const QString& path)
{
    return QString::fromLatin1(
               QCryptographicHash::hash(fileUri(path), QCryptographicHash::Md5).toHex()) +
           QStringLiteral(".png");
}

std::optional<QImage> read(const QString& path)
{
    const std::optional<Version> current = version(path);
    if (!current)
        return std::nullopt;
    const QByteArray uri = fileUri(path);
    const QString name = thumbnailName(path);
    for (const char* size : kSizes) {
        QImage image = readMatching(
            cacheFolder() + QLatin1Char('/') + QLatin1String(size) + QLatin1Char('/') + name, uri,
            *current);
        if (image.isNull())
            continue;
        if (image.width() > kNormalSize || image.height() > kNormalSize)
            image = image.scaled(kNormalSize, kNormalSize, Qt::KeepAspectRatio,
                                 Qt::SmoothTransformation);
        return image;
    }
    return std::nullopt;
}

bool write(const QString& path, const QImage& thumbnail)
{
    QImage image = thumbnail;
    if (image.width() > kNormalSize || image.height() > kNormalSize)
        image = image.scaled(kNormalSize, kNormalSize, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return writeThumbnail(cacheFolder() + QStringLiteral("/normal"), path, image);
}

bool hasFailed(const QString& path)
{
    const std::optional<Version> current = version(path);
    return current && !readMatching(cacheFolder() + QLatin1Char('/') + kFailFolder + QLatin1Char('/') +
                                      thumbnailName(path),
                                  fileUri(path), *current)
                         .isNull();
}

void writeFailure(const QString& path)
{
    QImage marker(1, 1, QImage::Format_ARGB32);
    marker.fill(Qt::transparent);
    writeThumbnail(cacheFolder() + QLatin1Char('/') + kFailFolder, path, marker);
}

void remove(const QString& path)
{
    const QString name = thumbnailName(path);
    for (const char* size : kSizes)
        QFile::remove(cacheFolder() + QLatin1Char('/') + QLatin1String(size) + QLatin1Char('/') + name);
    QFile::remove(cacheFolder() + QLatin1Char('/') + kFailFolder + QLatin1Char('/') + name);
}

} // namespace thumbnailstore
