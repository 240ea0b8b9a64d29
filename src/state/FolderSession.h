#pragma once

#include "base/FileStamp.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <optional>

class FolderWatcher;

// The folder of the shown file: listing it, watching it while it is shown, and telling what
// became of it and of the shown file after a burst of changes. It holds no model state: the
// model asks and applies the answers.
class FolderSession : public QObject {
    Q_OBJECT

public:
    // The images beside a file, and where the file stands among them.
    struct Listing {
        QList<QUrl> files;
        qint64 position = 0;
    };

    // What became of the shown file since the version of it that was read.
    struct Refresh {
        enum class Shown { Kept, Rewritten, Renamed, Removed };
        Shown shown = Shown::Kept;
        QList<QUrl> files;
        // The shown file's position; for a removed one, where it stood.
        qint64 position = 0;
        // Its new name, when renamed.
        std::optional<QUrl> renamedTo;
    };

    explicit FolderSession(QObject* parent = nullptr);
    ~FolderSession() override;

    // The folder beside openedFile in natural order; the file alone when the folder cannot be
    // read (its position then 0 as well when the file is not listed).
    static Listing list(const QUrl& openedFile);

    // Watches the folder of shown for names coming and going, and shown and others of its files
    // for rewrites in place; nothing without a shown file.
    void watch(const std::optional<QUrl>& shown, const QList<QUrl>& others);

    // The folder read again: shown, read as version shownStamp, is kept, rewritten, renamed
    // (a new name with the same version, among names new to before) or removed.
    static Refresh refresh(const QUrl& shown, const std::optional<base::FileStamp>& shownStamp,
                           const QList<QUrl>& before);

Q_SIGNALS:
    // A burst of changes in the watched folder or files has ended.
    void changed();

private:
    FolderWatcher* m_watcher;
};
