#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The X11 side of bringing windows forward: the window manager's _NET_ACTIVE_WINDOW request
// and the startup notification messages, sent over Qt's own connection to the X server.
namespace desktop::x11 {

// The launcher's X server time carried by a startup id ("..._TIME<n>"); 0 when it has none.
quint32 startupIdTime(const QString& startupId);

// The message that tells the launcher its start is complete, "remove: ID=<id>", with the id
// quoted where it needs to be.
QByteArray startupRemoveMessage(const QString& startupId);

// A startup id for a program started now: unique to this process, ending in _TIME<time>.
QString makeStartupId(const QString& launchedName, quint32 time);

// Whether the application runs on X11; the calls below do nothing otherwise.
bool available();

// Asks the window manager to activate the window as the user's request at time.
void requestActiveWindow(quint32 window, quint32 time);

// Broadcasts a startup notification message, naming the window as its sender.
void sendStartupMessage(quint32 window, const QByteArray& message);

// The X server's time now, 0 when it cannot be had.
quint32 serverTime();

} // namespace desktop::x11
