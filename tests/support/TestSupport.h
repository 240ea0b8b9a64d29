#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace testsupport {

// Settings of the test's own, so that the user's stay untouched.
struct OwnSettings {
    QTemporaryDir dir;
    OwnSettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path()); }
};

inline QSettings settings()
{
    return QSettings(QStringLiteral("Pelu"), QStringLiteral("Pelu"));
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

// Everything in the folder, hidden entries included.
inline QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// What the work writes to the process's standard error, libraries' own writes included.
inline QByteArray standardErrorOf(const std::function<void()>& work)
{
    QTemporaryFile capture;
    if (!capture.open())
        return QByteArrayLiteral("(no capture file)");
    std::fflush(stderr);
    const int terminal = ::dup(STDERR_FILENO);
    ::dup2(capture.handle(), STDERR_FILENO);
    work();
    std::fflush(stderr);
    ::dup2(terminal, STDERR_FILENO);
    ::close(terminal);
    // Read afresh: the capture's own offset has moved past what was written.
    return readFile(capture.fileName());
}

} // namespace testsupport
