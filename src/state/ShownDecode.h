#pragma once

#include "base/FileStamp.h"
#include "imaging/DecodeFailure.h"
#include "imaging/EarlyDecode.h"
#include "state/PreloadCache.h"

#include <QImage>
#include <QObject>
#include <QSize>
#include <QUrl>
#include <atomic>
#include <memory>
#include <optional>

// The file a jump goes to when no copy of it is at hand and its decode takes long: decoded on
// the work pool, so the window goes on answering. A preview comes first where the file's type
// gives one quickly, then the whole picture. Only the latest request reports: a new one, or
// cancel, calls off the one before. Reports arrive on the owner's thread, never once it is gone.
class ShownDecode : public QObject {
    Q_OBJECT

public:
    struct Whole {
        QUrl url;
        std::optional<QImage> image;
        imaging::DecodeFailure failure = imaging::DecodeFailure::none;
        // The version of the file that was read; none when it was not there.
        std::optional<base::FileStamp> stamp;
    };

    explicit ShownDecode(QObject* parent = nullptr);
    ~ShownDecode() override;

    // bounds: the size in pixels a preview should fill; empty when one is on screen already.
    // decoding: a decode of the whole
    // picture already under way (a neighbour being decoded ahead), taken over instead of
    // starting another.
    void start(const QUrl& url, const QSize& bounds,
               std::optional<PreloadCache::Handover> decoding = std::nullopt);
    void cancel();
    // The file of the request under way, until its whole picture has been reported.
    const std::optional<QUrl>& url() const { return m_url; }

Q_SIGNALS:
    void previewDecoded(const QUrl& url, const imaging::Preview& preview);
    void wholeDecoded(const ShownDecode::Whole& whole);

private:
    void startWhole(quint64 request);
    void watchWhole(quint64 request, const QFuture<PreloadCache::Preload>& future);

    std::optional<QUrl> m_url;
    std::shared_ptr<std::atomic<bool>> m_cancelled;
    quint64 m_request = 0;
    bool m_wholeStarted = false;
};
