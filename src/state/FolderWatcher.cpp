#include "state/FolderWatcher.h"

#include <QFileSystemWatcher>
#include <QSet>

FolderWatcher::FolderWatcher(QObject* parent) : QObject(parent)
{
    for (QTimer* timer : {&m_quiet, &m_longest}) {
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, &FolderWatcher::tell);
    }
    m_quiet.setInterval(kQuietMs);
    m_longest.setInterval(kLongestDelayMs);
}

FolderWatcher::~FolderWatcher() = default;

void FolderWatcher::watch(const QString& folder, const QStringList& files)
{
    QStringList wanted;
    if (!folder.isEmpty())
        wanted = QStringList{folder} + files;
    if (!m_watcher) {
        if (wanted.isEmpty())
            return;
        m_watcher = new QFileSystemWatcher(this);
        connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, &FolderWatcher::noteChange);
        connect(m_watcher, &QFileSystemWatcher::fileChanged, this, &FolderWatcher::noteChange);
    }
    // Only the difference: a path watched twice would be told twice, and re-adding every path
    // on every step would cost a system call each.
    const QStringList current = m_watcher->directories() + m_watcher->files();
    const QSet<QString> keep(wanted.cbegin(), wanted.cend());
    const QSet<QString> have(current.cbegin(), current.cend());
    QStringList gone;
    for (const QString& path : current) {
        if (!keep.contains(path))
            gone.append(path);
    }
    QStringList added;
    for (const QString& path : keep) {
        if (!have.contains(path))
            added.append(path);
    }
    if (!gone.isEmpty())
        m_watcher->removePaths(gone);
    if (!added.isEmpty())
        m_watcher->addPaths(added);
}

void FolderWatcher::noteChange()
{
    m_quiet.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void FolderWatcher::tell()
{
    m_quiet.stop();
    m_longest.stop();
    Q_EMIT changed();
}
