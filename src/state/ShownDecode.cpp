#include "state/ShownDecode.h"

#include "base/WorkPool.h"
#include "imaging/ImageService.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

ShownDecode::ShownDecode(QObject* parent) : QObject(parent) {}

ShownDecode::~ShownDecode()
{
    cancel();
}

void ShownDecode::cancel()
{
    if (m_cancelled)
        m_cancelled->store(true, std::memory_order_relaxed);
    m_cancelled.reset();
    m_url.reset();
    // Whatever a call-off request still reports is dropped on arrival.
    ++m_request;
}

void ShownDecode::start(const QUrl& url, const QSize& bounds,
                        std::optional<PreloadCache::Handover> decoding)
{
    cancel();
    const quint64 request = m_request;
    m_url = url;
    m_cancelled = decoding ? decoding->cancelled : std::make_shared<std::atomic<bool>>(false);
    m_wholeStarted = decoding.has_value();
    if (decoding)
        watchWhole(request, decoding->future);
    if (bounds.isEmpty()) {
        if (!std::exchange(m_wholeStarted, true))
            startWhole(request);
        return;
    }

    // The watchers belong to this object: they report on its thread, and never once it is gone.
    using PreviewResult = std::optional<imaging::Preview>;
    auto* watcher = new QFutureWatcher<PreviewResult>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request, url] {
        watcher->deleteLater();
        if (request != m_request)
            return;
        const PreviewResult preview = watcher->result();
        // The whole decode starts only now: on two cores it would slow the preview down.
        if (!std::exchange(m_wholeStarted, true))
            startWhole(request);
        if (preview)
            Q_EMIT previewDecoded(url, *preview);
    });
    const QString path = url.toLocalFile();
    const auto cancelled = m_cancelled;
    watcher->setFuture(QtConcurrent::run(&base::workPool(), [path, bounds, cancelled] {
        if (cancelled->load(std::memory_order_relaxed))
            return PreviewResult();
        return imaging::decodePreview(path, bounds, cancelled.get());
    }));
}

void ShownDecode::startWhole(quint64 request)
{
    if (!m_url)
        return;
    const QString path = m_url->toLocalFile();
    const auto cancelled = m_cancelled;
    watchWhole(request, QtConcurrent::run(&base::workPool(), [path, cancelled] {
        PreloadCache::Preload whole;
        if (cancelled->load(std::memory_order_relaxed))
            return whole;
        // Read before decoding: a rewrite during the decode then shows up as a change.
        whole.stamp = base::FileStamp::of(path);
        whole.image = imaging::decodeImage(path, nullptr, cancelled.get());
        return whole;
    }));
}

void ShownDecode::watchWhole(quint64 request, const QFuture<PreloadCache::Preload>& future)
{
    auto* watcher = new QFutureWatcher<PreloadCache::Preload>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, request] {
        watcher->deleteLater();
        if (request != m_request || !m_url)
            return;
        const PreloadCache::Preload decoded = watcher->result();
        Whole whole{*m_url, decoded.image, imaging::DecodeFailure::none, decoded.stamp};
        // Why it failed is read from what is cheap to read, as for any refused file.
        if (!whole.image)
            whole.failure = imaging::classifyDecodeFailure(m_url->toLocalFile());
        m_cancelled.reset();
        m_url.reset();
        ++m_request;
        Q_EMIT wholeDecoded(whole);
    });
    watcher->setFuture(future);
}
