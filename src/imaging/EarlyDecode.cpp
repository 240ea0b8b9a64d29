#include "imaging/EarlyDecode.h"

#include "imaging/Decoding.h"
#include "imaging/FileStamp.h"
#include "imaging/ImageService.h"

#include <QDir>

#include <mutex>
#include <thread>

namespace imaging {

namespace {

struct Early {
    std::mutex mutex;
    QString path;
    std::thread thread;
    FileStamp version;
    std::optional<QImage> image;
    DecodeFailure failure = DecodeFailure::none;
};

Early& early()
{
    static Early instance;
    return instance;
}

} // namespace

EarlyDecode::EarlyDecode(const QString& argument)
{
    if (argument.isEmpty() || argument.startsWith(QLatin1Char('-')))
        return;
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    const std::optional<FileStamp> version = FileStamp::of(path);
    // Only JPEG: its decoder needs nothing of Qt that the application object sets up.
    if (!version || detectImageType(path) != ImageType::Jpeg)
        return;
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    e.path = path;
    e.version = *version;
    e.thread = std::thread([&e, path] {
        DecodeFailure failure = DecodeFailure::none;
        std::optional<QImage> image = detail::decodeForDisplay(path, &failure, nullptr);
        e.image = std::move(image);
        e.failure = failure;
    });
}

EarlyDecode::~EarlyDecode()
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.thread.joinable())
        e.thread.join();
    e.path.clear();
    e.image.reset();
}

namespace detail {

std::optional<std::pair<std::optional<QImage>, DecodeFailure>> takeEarlyDecode(const QString& path)
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    if (e.path.isEmpty() || e.path != path)
        return std::nullopt;
    if (e.thread.joinable())
        e.thread.join();
    e.path.clear();
    std::optional<QImage> image = std::exchange(e.image, std::nullopt);
    // Rewritten while it was read: decoded afresh.
    if (FileStamp::of(path) != e.version)
        return std::nullopt;
    return std::pair{std::move(image), e.failure};
}

} // namespace detail

} // namespace imaging
