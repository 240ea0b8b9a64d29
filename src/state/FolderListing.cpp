#include "state/FolderListing.h"

#include "imaging/ImageTypes.h"
#include "state/EarlyListing.h"

#include <QFile>
#include <QLocale>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <memory>
#include <numeric>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <dirent.h>

namespace folder {

const QSet<QString>& supportedExtensions()
{
    static const QSet<QString> extensions = [] {
        const QStringList names = imaging::supportedExtensions();
        return QSet<QString>(names.cbegin(), names.cend());
    }();
    return extensions;
}

namespace {

// The extension test on the name's bytes, before any of it becomes a QString: each name of a
// big folder then costs no decoding or allocation unless it is shown.
bool hasSupportedExtension(std::string_view name)
{
    static const std::vector<std::string> extensions = [] {
        std::vector<std::string> latin;
        for (const QString& extension : supportedExtensions())
            latin.push_back(extension.toStdString());
        return latin;
    }();
    const size_t dot = name.rfind('.');
    // A leading dot alone names a hidden file, not an extension.
    if (dot == std::string_view::npos || dot == 0)
        return false;
    std::string lower(name.substr(dot + 1));
    for (char& c : lower)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return std::find(extensions.cbegin(), extensions.cend(), lower) != extensions.cend();
}

} // namespace

bool hasSupportedExtension(const QString& fileName)
{
    const QByteArray bytes = QFile::encodeName(fileName);
    return hasSupportedExtension(std::string_view(bytes.constData(), size_t(bytes.size())));
}

QCollator naturalCollator()
{
    QLocale locale;
    // The C and POSIX locales ignore numeric mode; English sorts as a file manager would.
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

std::optional<QList<QUrl>> listImagesIn(const QString& folder)
{
    if (std::optional<std::optional<QList<QUrl>>> early = detail::takeEarlyListing(folder))
        return *std::move(early);
    return detail::readImagesIn(folder);
}

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

} // namespace

std::optional<QList<QUrl>> detail::readImagesIn(const QString& folder,
                                                const std::function<void()>& onceBig)
{
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(QFile::encodeName(folder).constData()));
    if (!dir)
        return std::nullopt;

    QStringList names;
    while (true) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (!entry) {
            if (errno != 0)
                return std::nullopt;
            break;
        }
        const std::string_view name(entry->d_name);
        // Hidden files, and the folder's own entries, are not shown.
        if (name.front() == '.' || !hasSupportedExtension(name))
            continue;
        names.append(
            QFile::decodeName(QByteArray::fromRawData(name.data(), qsizetype(name.size()))));
        if (names.size() == kBigFolder && onceBig)
            onceBig();
    }

    // One collation key per name: comparing keys is far cheaper than collating the names at
    // every comparison of the sort. The positions are sorted, so no key is ever copied.
    const QCollator collator = naturalCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString& name : std::as_const(names))
        keys.push_back(collator.sortKey(name));
    std::vector<qsizetype> order(keys.size());
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(), [&keys](qsizetype a, qsizetype b) {
        return keys[size_t(a)].compare(keys[size_t(b)]) < 0;
    });

    const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
    QList<QUrl> files;
    files.reserve(names.size());
    for (const qsizetype i : order)
        files.append(QUrl::fromLocalFile(prefix + names.at(i)));
    return files;
}

std::optional<QList<QUrl>> listImages(const QUrl& openedFile)
{
    return listImagesIn(openedFile.adjusted(QUrl::RemoveFilename).toLocalFile());
}

qsizetype naturalPosition(const QList<QUrl>& files, const QUrl& file)
{
    const QCollator collator = naturalCollator();
    const QString name = file.fileName();
    const auto it = std::lower_bound(files.cbegin(), files.cend(), name,
                                     [&collator](const QUrl& entry, const QString& wanted) {
                                         return collator.compare(entry.fileName(), wanted) < 0;
                                     });
    return it - files.cbegin();
}

} // namespace folder
