#pragma once

#include <QImage>
#include <QString>

#include <optional>

// The thumbnails the desktop keeps on disk, shared with the file managers: the freedesktop
// Thumbnail Managing Standard's cache under $XDG_CACHE_HOME/thumbnails (~/.cache/thumbnails).
// A thumbnail is a PNG named by the MD5 of its file's URI and holding that URI and the file's
// modification time; one whose time is not the file's is stale and never used. Safe from any
// thread.
namespace thumbnailstore {

// The largest side of a "normal" thumbnail, the size the strip uses.
constexpr int kNormalSize = 128;

// The file's thumbnail, from "normal" or else "large" (scaled down), when one was made of the
// file as it is now.
std::optional<QImage> read(const QString& path);

// Keeps a thumbnail of the file (its longer side kNormalSize at most) for the next start and
// for the file managers: written under a temporary name with mode 0600 and renamed into place.
// False when the cache cannot be written.
bool write(const QString& path, const QImage& thumbnail);

// Whether this program already failed to make a thumbnail of the file as it is now, and
// recording such a failure, so that a damaged file is not decoded again at every start.
bool hasFailed(const QString& path);
void writeFailure(const QString& path);

// Forgets the file's thumbnails, after the file was rewritten.
void remove(const QString& path);

// The cache's folder, and a file's URI and its thumbnail's name in the cache.
QString cacheFolder();
QByteArray fileUri(const QString& path);
QString thumbnailName(const QString& path);

} // namespace thumbnailstore
