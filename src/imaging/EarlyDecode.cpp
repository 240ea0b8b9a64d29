#include "imaging/EarlyDecode.h"

#include "imaging/TypeTable.h"
#include "imaging/colour/DisplayColour.h"
#include "imaging/decoders/Decoding.h"
#include "base/FileStamp.h"
#include "imaging/ImageService.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPromise>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace imaging {

struct EarlyDecode::State {
    std::mutex mutex;
    std::condition_variable changed;
    QString path;
    std::thread thread;
    base::FileStamp version;
    bool previewPending = false;
    std::optional<Preview> preview;
    bool finished = false;
    std::optional<QImage> image;
    DecodeFailure failure = DecodeFailure::none;
    QPromise<void> done;
    bool started = false;
    // Decoders other than the JPEG one read through Qt's image plugins, which want the
    // application object in place first.
    bool applicationStarted = false;
    std::atomic<bool> cancelled = false;
    bool previewShown = false;
    // What the pictures were converted into; null for sRGB.
    std::shared_ptr<const DisplayProfile> screen;
};

namespace {

using Early = EarlyDecode::State;

// How long the whole decode waits for the preview to be on screen, at most.
constexpr std::chrono::milliseconds kPreviewShownWait{150};

// A JPEG is decoded scaled in the DCT; a HEIF file shows the thumbnail it carries, and a raw
// file the camera's preview, while the whole picture is decoded, which takes a second or more
// for a large photo.
bool hasPreview(ImageType type)
{
    return detail::typeRow(type).reducedDecode;
}

// The file decoded to fit bounds: a preview when the decoder could deliver it smaller than the
// whole picture (with the whole one's size), otherwise the whole picture or nothing; in the
// colours of this screen profile (null: sRGB).
std::pair<std::optional<QImage>, QSize>
decodeWithin(const QString& path, const QSize& bounds, const std::atomic<bool>* cancelled,
             std::shared_ptr<const DisplayProfile> screen)
{
    detail::DecodeOptions options;
    options.bounds = bounds;
    options.standIn = true;
    options.cancelled = cancelled;
    options.screen = std::move(screen);
    QSize full;
    options.fullSize = &full;
    std::optional<QImage> image = detail::decodeFile(path, options);
    return {std::move(image), full};
}

// Files from this size on decode in more than a frame's time, whatever their type.
constexpr qint64 kSlowDecodeBytes = 512 * 1024;

// Whether the pictures were made for the screen profile the process has now.
bool forTheScreen(const Early& e)
{
    const std::shared_ptr<const DisplayProfile> now = displayProfile();
    return (now ? now->icc() : QByteArray()) == (e.screen ? e.screen->icc() : QByteArray());
}

void run(Early& e, const QString& path, ImageType type, const std::function<QSize()>& previewBounds,
         const std::function<QByteArray()>& screenProfile)
{
    {
        std::shared_ptr<const DisplayProfile> screen =
            screenProfile ? DisplayProfile::fromIcc(screenProfile()) : displayProfile();
        const std::lock_guard lock(e.mutex);
        e.screen = std::move(screen);
    }
    const bool jpeg = type == ImageType::Jpeg;
    if (!jpeg) {
        std::unique_lock lock(e.mutex);
        e.changed.wait(lock, [&e] { return e.applicationStarted || e.cancelled; });
    }
    const QSize bounds =
        hasPreview(type) && previewBounds && !e.cancelled ? previewBounds() : QSize();
    if (!bounds.isEmpty()) {
        auto [image, full] = decodeWithin(path, bounds, &e.cancelled, e.screen);
        std::unique_lock lock(e.mutex);
        e.previewPending = false;
        const bool previewed = image && full.isValid();
        if (previewed) {
            e.preview = Preview{*image, full};
        } else if (image) {
            // The window is as large as the photo: this was the whole decode.
            e.image = std::move(image);
            e.finished = true;
        }
        e.changed.notify_all();
        // The main thread has the last steps to the first frame to take; the whole decode
        // would take a core from it.
        if (previewed)
            e.changed.wait_for(lock, kPreviewShownWait,
                               [&e] { return e.previewShown || e.cancelled; });
    }
    if (!e.finished) {
        DecodeFailure failure = DecodeFailure::none;
        std::optional<QImage> image;
        if (!e.cancelled) {
            detail::DecodeOptions options;
            options.cancelled = &e.cancelled;
            options.screen = e.screen;
            image = detail::decodeForDisplay(path, &failure, options);
        }
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

std::optional<Preview> decodePreview(const QString& path, const QSize& bounds,
                                     const std::atomic<bool>* cancelled)
{
    if (bounds.isEmpty() || !hasPreview(detectImageType(path)))
        return std::nullopt;
    auto [image, full] = decodeWithin(path, bounds, cancelled, displayProfile());
    // Without a full size the decoder gave the whole picture: no preview of it.
    if (!image || !full.isValid() || (cancelled && cancelled->load()))
        return std::nullopt;
    return Preview{std::move(*image), full};
}

std::optional<Preview> decodeScaledDown(const QString& path, const QSize& bounds,
                                        const std::atomic<bool>* cancelled)
{
    if (!decodesScaledDown(path))
        return std::nullopt;
    return decodePreview(path, bounds, cancelled);
}

bool decodesScaledDown(const QString& path)
{
    return detectImageType(path) == ImageType::Jpeg;
}

bool decodesSlowly(const QString& path)
{
    return QFileInfo(path).size() >= kSlowDecodeBytes;
}

EarlyDecode::EarlyDecode(const QString& argument, std::function<QSize()> previewBounds,
                         std::function<QByteArray()> screenProfile)
    : m_state(std::make_unique<State>())
{
    if (argument.isEmpty() || argument.startsWith(QLatin1Char('-')))
        return;
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    const std::optional<base::FileStamp> version = base::FileStamp::of(path);
    const ImageType type = detectImageType(path);
    if (!version || decoderFor(type) == DecoderFamily::None)
        return;
    Early& e = *m_state;
    const std::lock_guard lock(e.mutex);
    e.path = path;
    e.version = *version;
    e.previewPending = hasPreview(type) && previewBounds;
    e.applicationStarted = QCoreApplication::instance() != nullptr;
    e.started = true;
    e.done.start();
    e.thread = std::thread([&e, path, type, bounds = std::move(previewBounds),
                            profile = std::move(screenProfile)] {
        run(e, path, type, bounds, profile);
    });
}

EarlyDecode::~EarlyDecode()
{
    Early& e = *m_state;
    // Whatever is still under way is no longer wanted (a launch that handed its file over).
    e.cancelled = true;
    e.changed.notify_all();
    if (e.thread.joinable())
        e.thread.join();
}

void EarlyDecode::applicationStarted()
{
    Early& e = *m_state;
    {
        const std::lock_guard lock(e.mutex);
        e.applicationStarted = true;
    }
    e.changed.notify_all();
}

void EarlyDecode::previewShown()
{
    Early& e = *m_state;
    {
        const std::lock_guard lock(e.mutex);
        e.previewShown = true;
    }
    e.changed.notify_all();
}

std::optional<Preview> EarlyDecode::takePreview(const QString& path)
{
    Early& e = *m_state;
    std::unique_lock lock(e.mutex);
    if (e.path.isEmpty() || e.path != path)
        return std::nullopt;
    e.changed.wait(lock, [&e] { return !e.previewPending; });
    std::optional<Preview> preview = std::exchange(e.preview, std::nullopt);
    if (preview && (base::FileStamp::of(path) != e.version || !forTheScreen(e)))
        return std::nullopt;
    return preview;
}

QFuture<void> EarlyDecode::done() const
{
    Early& e = *m_state;
    const std::lock_guard lock(e.mutex);
    return e.started ? e.done.future() : QtFuture::makeReadyFuture();
}

std::optional<std::pair<std::optional<QImage>, DecodeFailure>>
EarlyDecode::takeResult(const QString& path)
{
    Early& e = *m_state;
    std::unique_lock lock(e.mutex);
    if (e.path.isEmpty() || e.path != path)
        return std::nullopt;
    // Whoever waits for the result has the application object, and wants no preview, by then.
    e.applicationStarted = true;
    e.previewShown = true;
    e.changed.notify_all();
    e.changed.wait(lock, [&e] { return e.finished; });
    e.path.clear();
    e.preview.reset();
    std::optional<QImage> image = std::exchange(e.image, std::nullopt);
    // Rewritten while it was read, or made for another screen: decoded afresh.
    if (base::FileStamp::of(path) != e.version || !forTheScreen(e))
        return std::nullopt;
    return std::pair{std::move(image), e.failure};
}

} // namespace imaging
