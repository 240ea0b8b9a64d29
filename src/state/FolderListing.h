#pragma once

#include <QCollator>
#include <QList>
#include <QSet>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

namespace folder {

// The 19 lower-case extensions, without the dot, that make a file part of the list.
const QSet<QString>& supportedExtensions();

// True when the name's extension, lower-cased, is supported. A name without one is not.
bool hasSupportedExtension(const QString& fileName);

// The file manager's order: case-insensitive, digit runs by value, current locale.
QCollator naturalCollator();

// The supported images of a folder, in natural order; nothing when the folder cannot be read.
// One directory read: no per-entry stat, no decoding.
std::optional<QList<QUrl>> listImagesIn(const QString& folderPath);

namespace detail {
// listImagesIn, always reading the folder. beforeSorting, when given, is told how many names
// were read before they are put in order (the costly part of a big folder).
std::optional<QList<QUrl>>
readImagesIn(const QString& folderPath,
             const std::function<void(qsizetype names)>& beforeSorting = {});
} // namespace detail

// The supported images beside the given file.
std::optional<QList<QUrl>> listImages(const QUrl& openedFile);

// Where a file of this name stands, or would stand, in a list in natural order.
qsizetype naturalPosition(const QList<QUrl>& files, const QUrl& file);

} // namespace folder
