#pragma once

#include <QString>
#include <functional>

// Rewrites a file so that the old version stays whole until the new one has fully reached the
// disk: the new version is written beside it under a hidden name and renamed over it.
namespace desktop {

// Writes the new version of source into temporary, a path that does not exist yet.
using FileWriter = std::function<bool(const QString& source, const QString& temporary)>;

// The hidden name the new version of path is written under, in path's folder:
// "." + a random UUID + "." + path's extension as spelled.
QString temporaryPathFor(const QString& path);

// Replaces the file at path by what write produces. A symbolic link is followed, so that its
// target is rewritten and the link stays. The new file gets the old one's permission bits (and
// its owner and group where allowed) and is flushed to disk before the one rename that puts it
// in place. False, with the file untouched and no temporary file left, when the file is not a
// regular file the user may write, when write fails, or when the new file cannot be finished.
bool replaceFile(const QString& path, const FileWriter& write);

} // namespace desktop
