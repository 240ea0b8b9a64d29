#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

class QFileSystemWatcher;

// Watches one folder for entries that come, go or are renamed, and a few of its files for
// rewrites in place. A burst of changes (a camera import, an editor saving through a temporary
// file) is told once: after a quiet moment, or at the latest a little while after it began, so
// that a long import still shows its progress.
class FolderWatcher : public QObject {
    Q_OBJECT

public:
    static constexpr int kQuietMs = 250;
    static constexpr int kLongestDelayMs = 2000;

    explicit FolderWatcher(QObject* parent = nullptr);
    ~FolderWatcher() override;

    // Replaces what is watched; an empty folder watches nothing. Paths that cannot be watched
    // (gone already) are left out.
    void watch(const QString& folder, const QStringList& files);

Q_SIGNALS:
    void changed();

private:
    void noteChange();
    void tell();

    // Made on first use: each one holds a file descriptor of the system's.
    QFileSystemWatcher* m_watcher = nullptr;
    QTimer m_quiet;
    QTimer m_longest;
};
