#include "desktop/Trash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

namespace desktop {

std::optional<QString> moveToTrash(const QString& path)
{
    // Without the user's data folder Qt reports success and moves the file into ./files of the
    // working directory.
    const QString dataFolder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (dataFolder.isEmpty() || !QDir().mkpath(dataFolder))
        return QCoreApplication::translate("Trash", "The Trash folder could not be created.");
    QFile file(path);
    if (file.moveToTrash())
        return std::nullopt;
    return file.errorString();
}

} // namespace desktop
