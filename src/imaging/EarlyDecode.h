#pragma once

#include "imaging/DecodeFailure.h"

#include <QImage>
#include <QString>
#include <optional>
#include <utility>

namespace imaging {

// The JPEG named on the command line, decoded on a thread of its own from the top of main while
// Qt, the window and the fonts start. The first decodeImage of that file on the main thread
// takes this result instead of decoding again. The destructor waits for the thread.
class EarlyDecode {
public:
    // path: as given on the command line, relative to the working directory. Nothing is started
    // for an empty path, an option or a file that is not a JPEG.
    explicit EarlyDecode(const QString& path);
    ~EarlyDecode();
    EarlyDecode(const EarlyDecode&) = delete;
    EarlyDecode& operator=(const EarlyDecode&) = delete;
};

namespace detail {

// The early result for this absolute path, waited for if still under way; none when there is
// none, it is for another file, or the file changed since it was read. Taken once.
std::optional<std::pair<std::optional<QImage>, DecodeFailure>> takeEarlyDecode(const QString& path);

} // namespace detail

} // namespace imaging
