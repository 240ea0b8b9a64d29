#include "state/FileRotation.h"

#include "base/WorkPool.h"
#include "desktop/FileReplacement.h"
#include "imaging/ImageService.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

FileRotation::FileRotation(QObject* parent) : QObject(parent) {}

bool FileRotation::start(const QUrl& url, int quarterTurns)
{
    if (m_file)
        return false;
    m_file = url;
    // The watcher belongs to this object: its result arrives on this thread, and never once the
    // object is gone.
    auto* watcher = new QFutureWatcher<Result>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, url, quarterTurns] {
        const Result result = watcher->result();
        watcher->deleteLater();
        m_file.reset();
        Q_EMIT finished(url, quarterTurns, result);
    });
    const QString path = url.toLocalFile();
    watcher->setFuture(QtConcurrent::run(&base::workPool(), [path, quarterTurns] {
        Result result;
        result.written = desktop::replaceFile(
            path, [quarterTurns](const QString& source, const QString& temporary) {
                return imaging::writeRotatedFile(source, temporary, quarterTurns);
            });
        if (result.written) {
            // Read before decoding: a rewrite during the decode then shows up as a change.
            result.stamp = base::FileStamp::of(path);
            result.image = imaging::decodeImage(path, &result.failure);
            result.metadata = imaging::extractMetadata(path);
        }
        return result;
    }));
    return true;
}
