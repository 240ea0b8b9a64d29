#include "imaging/EarlyDecode.h"

#include "imaging/Decoding.h"
#include "imaging/FileStamp.h"
#include "imaging/ImageService.h"

#include <QDir>
#include <QPromise>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace imaging {

namespace {

struct Early {
    std::mutex mutex;
    std::condition_variable changed;
    QString path;
    std::thread thread;
    FileStamp version;
    bool previewPending = false;
    std::optional<Preview> preview;
    bool finished = false;
    std::optional<QImage> image;
    DecodeFailure failure = DecodeFailure::none;
    QPromise<void> done;
    bool started = false;
};

Early& early()
{
    static Early instance;
    return instance;
}

// The file decoded to fit bounds: a preview when the decoder could deliver it smaller than the
// whole picture, otherwise the whole picture or nothing.
std::pair<std::optional<QImage>, QSize> decodeWithin(const QString& path, const QSize& bounds)
{
    detail::DecodeOptions options;
    options.bounds = bounds;
    QSize full;
    options.fullSize = &full;
    std::optional<QImage> image = detail::decodeFile(path, options);
    return {std::move(image), full};
}

void run(Early& e, const QString& path, const std::function<QSize()>& previewBounds)
{
    const QSize bounds = previewBounds ? previewBounds() : QSize();
    if (!bounds.isEmpty()) {
        auto [image, full] = decodeWithin(path, bounds);
        std::unique_lock lock(e.mutex);
        e.previewPending = false;
        if (image && full.isValid()) {
            e.preview = Preview{*image, full};
        } else if (image) {
            // The window is as large as the photo: this was the whole decode.
            e.image = std::move(image);
            e.finished = true;
        }
        lock.unlock();
        e.changed.notify_all();
    }
    if (!e.finished) {
        DecodeFailure failure = DecodeFailure::none;
        std::optional<QImage> image = detail::decodeForDisplay(path, &failure, nullptr);
        {
            const std::lock_guard lock(e.mutex);
            e.previewPending = false;
            e.image = std::move(image);
            e.failure = failure;
            e.finished = true;
        }
        e.changed.notify_all();
    }
    e.done.finish();
}

} // namespace

EarlyDecode::EarlyDecode(const QString& argument, std::function<QSize()> previewBounds)
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
    e.previewPending = bool(previewBounds);
    e.preview.reset();
    e.finished = false;
    e.image.reset();
    e.failure = DecodeFailure::none;
    e.started = true;
    e.done = QPromise<void>();
    e.done.start();
    e.thread = std::thread([&e, path, bounds = std::move(previewBounds)] { run(e, path, bounds); });
}

EarlyDecode::~EarlyDecode()
{
    Early& e = early();
    if (e.thread.joinable())
        e.thread.join();
    const std::lock_guard lock(e.mutex);
    e.path.clear();
    e.preview.reset();
    e.image.reset();
}

std::optional<Preview> takeEarlyPreview(const QString& path)
{
    Early& e = early();
    std::unique_lock lock(e.mutex);
    if (e.path.isEmpty() || e.path != path)
        return std::nullopt;
    e.changed.wait(lock, [&e] { return !e.previewPending; });
    std::optional<Preview> preview = std::exchange(e.preview, std::nullopt);
    if (preview && FileStamp::of(path) != e.version)
        return std::nullopt;
    return preview;
}

QFuture<void> earlyDecodeDone()
{
    Early& e = early();
    const std::lock_guard lock(e.mutex);
    return e.started ? e.done.future() : QtFuture::makeReadyFuture();
}

void forgetEarlyDecode(const QString& path)
{
    detail::takeEarlyDecode(path);
}

namespace detail {

std::optional<std::pair<std::optional<QImage>, DecodeFailure>> takeEarlyDecode(const QString& path)
{
    Early& e = early();
    std::unique_lock lock(e.mutex);
    if (e.path.isEmpty() || e.path != path)
        return std::nullopt;
    e.changed.wait(lock, [&e] { return e.finished; });
    e.path.clear();
    e.preview.reset();
    std::optional<QImage> image = std::exchange(e.image, std::nullopt);
    // Rewritten while it was read: decoded afresh.
    if (FileStamp::of(path) != e.version)
        return std::nullopt;
    return std::pair{std::move(image), e.failure};
}

} // namespace detail

} // namespace imaging
