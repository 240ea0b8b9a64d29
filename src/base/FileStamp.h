#pragma once

#include <QString>
#include <QtGlobal>
#include <optional>

namespace base {

// Tells one version of a file from another without reading it: the same inode with the same
// size and modification time is the same content, for all a viewer can know.
struct FileStamp {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;

    // Nothing when the path names nothing (a dangling link included).
    static std::optional<FileStamp> of(const QString& path);
};

} // namespace base
