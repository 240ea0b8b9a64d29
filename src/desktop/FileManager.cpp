#include "desktop/FileManager.h"

#include "desktop/WindowSystem.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace desktop {

namespace {

void openFolder(const QString& path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

} // namespace

void revealFile(const QString& path)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QCoreApplication* app = QCoreApplication::instance();
    if (!bus.isConnected() || !app) {
        openFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    // The startup id lets the file manager's window come to the front.
    const ActivationToken token = activationTokenForLaunch(QStringLiteral("FileManager1"));
    const QString startupId = token.wayland.isEmpty() ? token.x11 : token.wayland;
    call << QStringList{QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)} << startupId;
    // The file manager may first have to be started: never wait for it on this thread.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), app);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, app, [watcher, path] {
        if (watcher->isError())
            openFolder(path);
        watcher->deleteLater();
    });
}

} // namespace desktop
