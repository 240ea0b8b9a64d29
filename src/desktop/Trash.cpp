#include "desktop/Trash.h"

#include "desktop/GioLibrary.h"

#include <QCoreApplication>
#include <QFile>

namespace desktop {

std::optional<QString> moveToTrash(const QString& path)
{
    // No other way to the Trash is taken: Qt's own loses files or hangs where GIO reports.
    const GioLibrary* gio = gioLibrary();
    if (!gio)
        return QCoreApplication::translate(
            "Trash", "The file cannot be moved to the Trash: the GIO library is missing.");
    GFile* file = gio->g_file_new_for_path(QFile::encodeName(path).constData());
    GError* error = nullptr;
    const bool trashed = gio->g_file_trash(file, nullptr, &error);
    gio->g_object_unref(file);
    if (trashed)
        return std::nullopt;
    QString message = error && error->message
                          ? QString::fromUtf8(error->message)
                          : QCoreApplication::translate(
                                "Trash", "The file could not be moved to the Trash.");
    if (error)
        gio->g_error_free(error);
    return message;
}

} // namespace desktop
