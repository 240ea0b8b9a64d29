#pragma once

#include "imaging/DecodeFailure.h"

#include <QFuture>
#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace imaging {

// A picture of a file decoded smaller than the file holds it, for the screen until the whole
// picture is at hand.
struct Preview {
    QImage image;
    // The size of the whole upright picture.
    QSize fullSize;
};

// A preview of the file fitted into bounds (in pixels), where its type gives one far sooner
// than the whole picture: a JPEG scaled in the DCT, a HEIF file's own thumbnail, a camera's
// preview. None for other types, for a picture no larger than bounds, or once *cancelled turns
// true. Safe from any thread.
std::optional<Preview> decodePreview(const QString& path, const QSize& bounds,
                                     const std::atomic<bool>* cancelled = nullptr);

// A JPEG scaled in the DCT to cover its picture fitted into bounds: all a fitted view shows of
// it, in a fraction of the memory. None for other types, whose previews are other pictures
// (a thumbnail, the camera's rendering), and as for decodePreview.
std::optional<Preview> decodeScaledDown(const QString& path, const QSize& bounds,
                                        const std::atomic<bool>* cancelled = nullptr);
// Whether decodeScaledDown reads files of this one's type.
bool decodesScaledDown(const QString& path);

// Whether the whole picture of this file is worth decoding away from the user-interface
// thread: a file this large takes longer to decode than a frame lasts.
bool decodesSlowly(const QString& path);

// The image named on the command line, decoded on a thread of its own while Qt, the window and
// the fonts start: a JPEG from the top of main, other types once the application object exists
// (their decoders read through Qt's image plugins). Made in main and handed to the model, which
// takes its result instead of decoding that file again. The destructor cancels what is still
// under way and waits for the thread.
//
// When the window the photo opens in is known to be smaller than the photo, a preview is
// decoded first: a JPEG scaled in the DCT to the window, which costs a fraction of the whole
// decode and is all a fitted window can show; a HEIF file's own thumbnail, shown for the
// seconds its whole picture can take. The whole picture follows on the same thread once the
// preview is on screen.
class EarlyDecode {
public:
    // path: as given on the command line, relative to the working directory. Nothing is started
    // for an empty path, an option or a file of no type Pelu reads. previewBounds is called on
    // the decoding thread for a JPEG or HEIF file and gives the window's size in pixels; empty when
    // it is not known. screenProfile, when given, is called on the decoding thread first and
    // gives the ICC profile of the screen the window is likely to open on (empty: none); the
    // pictures are converted into it. Without it they go into the process's displayProfile().
    explicit EarlyDecode(const QString& path, std::function<QSize()> previewBounds = {},
                         std::function<QByteArray()> screenProfile = {});
    ~EarlyDecode();
    EarlyDecode(const EarlyDecode&) = delete;
    EarlyDecode& operator=(const EarlyDecode&) = delete;

    // The application object exists: the decode of a file other than a JPEG may begin. Taking
    // the result begins it too.
    void applicationStarted();

    // The preview decoded for this absolute path, waited for if still under way; none when
    // there is none, it is for another file, or it was made for another screen profile than
    // the process's displayProfile() now. Taken once. The whole picture then comes from
    // takeResult, which waits for it only once done() has finished.
    std::optional<Preview> takePreview(const QString& path);
    // Finishes once the decode has ended; a finished future when none was started.
    QFuture<void> done() const;
    // The preview is on screen: the whole picture's decode may have the processor. Until then,
    // or for a moment at most, it waits.
    void previewShown();
    // The result for this absolute path, waited for if still under way; none when there is
    // none, it is for another file, the file changed since it was read, or it was made for
    // another screen profile. Taken once.
    std::optional<std::pair<std::optional<QImage>, DecodeFailure>> takeResult(const QString& path);

    // The decode's own state, shared with its thread.
    struct State;

private:
    std::unique_ptr<State> m_state;
};

} // namespace imaging
