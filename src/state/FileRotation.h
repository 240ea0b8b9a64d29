#pragma once

#include "base/FileStamp.h"
#include "imaging/DecodeFailure.h"
#include "imaging/MetadataEntry.h"

#include <QImage>
#include <QObject>
#include <QUrl>

#include <optional>

// Writes quarter turns into image files on the work pool, one file at a time. A rewrite that
// succeeds brings back the file as it now is, decoded and described, so that its picture can
// take the turned view's place without a decode on the user-interface thread.
class FileRotation : public QObject {
    Q_OBJECT

public:
    struct Result {
        bool written = false;
        // The rewritten file: its version, picture and metadata rows.
        std::optional<base::FileStamp> stamp;
        std::optional<QImage> image;
        imaging::DecodeFailure failure = imaging::DecodeFailure::none;
        MetadataRows metadata;
    };

    explicit FileRotation(QObject* parent = nullptr);

    // The file being rewritten.
    const std::optional<QUrl>& file() const { return m_file; }

    // Starts turning url's file by clockwise quarter turns (1 to 3). False, and nothing started,
    // while another rewrite is under way.
    bool start(const QUrl& url, int quarterTurns);

Q_SIGNALS:
    // On the owner's thread, once the file is rewritten or was left as it was.
    void finished(const QUrl& url, int quarterTurns, const FileRotation::Result& result);

private:
    std::optional<QUrl> m_file;
};
