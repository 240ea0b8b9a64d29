#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>

// The applications installed for a kind of file, and launching one of them on a file.
namespace desktop {

// One application that can open a file.
struct OpenWithApp {
    QString name; // the application's name, as menus show it
    QString id;   // its desktop-file id, such as "org.example.Paint.desktop"
    QUrl url;     // its desktop file; what launchApplication starts
    QString icon; // an icon theme name or an icon file's path; empty when it has none

    bool operator==(const OpenWithApp&) const = default;
};

// The applications registered for the file's content type, in the order the system gives.
// Empty when the file cannot be read or nothing is registered for its type.
QList<OpenWithApp> applicationsForFile(const QString& path);

// The applications that can open the file, this viewer left out, by name as a person reads
// them (case and accents aside).
QList<OpenWithApp> applicationsToOpen(const QString& path);

// Starts the application of the desktop file at application with the file's URI, with an
// activation token or startup id where the window system gives one. False when the desktop
// file is not a launchable application or the start failed.
bool launchApplication(const QUrl& application, const QUrl& file);

// The application's icon from the icon theme or its own file; null when there is none.
QIcon applicationIcon(const OpenWithApp& app);

} // namespace desktop
