#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class QWidget;

// The main window's last size and position, kept in the settings file under "Window",
// apart from the preferences.
namespace app {

// The frame as it may be shown on these screens (their available areas): unchanged while the
// screens show all of it, otherwise moved onto the screen it overlaps most, or the nearest
// one, and shrunk if it is larger than that screen.
QRect placeOnScreens(const QRect& frame, const QList<QRect>& screens);

// The frame kept at close, given the one kept before. Where the window system reports the
// window's position, the window's frame; where it places windows itself and reports none
// (Wayland), the position kept before with the window's size. Null when there is no position
// to keep: then only the size is kept.
QRect frameToKeep(const QRect& kept, const QRect& frame, bool positionKnown);

// The size of the window's contents when nothing is remembered.
inline constexpr QSize kDefaultContentSize(400, 300);

// The size in device pixels the window reopens with, as kept when it was last closed, or the
// default size; empty when nothing was kept. Readable before the application object exists.
QSize windowPixelsAtStart();

// False when nothing is remembered; the window keeps its size then. Where the window system
// places windows itself, only the size and the maximised state are restored.
bool restoreWindowFrame(QWidget* window);
void saveWindowFrame(const QWidget* window);

} // namespace app
