#pragma once

#include <QFuture>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// The folder of the file named on the command line (or that folder itself), listed on a thread
// of its own from the top of main while Qt and the window start. The first listing of that
// folder takes this result instead of reading the folder again, provided the folder has not
// changed since the early listing began. The destructor waits for the thread.
class EarlyListing {
public:
    // argument: as given on the command line. Nothing is started for an empty argument, an
    // option, or a name that is neither a file nor a folder.
    explicit EarlyListing(const QString& argument);
    ~EarlyListing();
    EarlyListing(const EarlyListing&) = delete;
    EarlyListing& operator=(const EarlyListing&) = delete;
};

namespace folder::detail {

// A big folder's listing waits with its sorting until the first picture is on screen (or a
// second has passed): this lets it go on.
void releaseEarlyListing();
// The early listing of this folder, waited for if still under way; none when there is none, it
// is of another folder, or the folder changed since. Taken once.
std::optional<std::optional<QList<QUrl>>> takeEarlyListing(const QString& folderPath);
// The early listing of this folder while it is still being read: it finishes with the
// reading. None when it is done, or there is none of this folder.
std::optional<QFuture<void>> earlyListingUnderWay(const QString& folderPath);

} // namespace folder::detail
