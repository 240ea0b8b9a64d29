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
// From this many images on a folder is big: reading the rest of its names, and putting them in
// order, cost more than a frame.
constexpr qsizetype kBigFolder = 1000;
// listImagesIn, always reading the folder. onceBig, when given, is called as soon as the
// folder is found to be big, before the rest is read; the listing goes on when it returns.
std::optional<QList<QUrl>> readImagesIn(const QString& folderPath,
                                        const std::function<void()>& onceBig = {});
} // namespace detail

// The supported images beside the given file.
std::optional<QList<QUrl>> listImages(const QUrl& openedFile);

// Where a file of this name stands, or would stand, in a list in natural order.
qsizetype naturalPosition(const QList<QUrl>& files, const QUrl& file);

} // namespace folder
