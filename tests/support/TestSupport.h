#pragma once

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

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

} // namespace testsupport
