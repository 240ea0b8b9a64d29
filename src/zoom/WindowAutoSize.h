#pragma once

#include <QRect>
#include <QSize>
#include <QSizeF>

class ZoomScrollArea;

namespace zoom {

// The window frame that shows an image of this size at most at 100 %, shrunk to fit the
// available screen area and centred in it. chrome is what the frame adds around the image.
// Null for an empty image.
QRect autoSizedFrame(const QRect& available, const QSize& chrome, const QSizeF& image);

// Resizes the scroll area's window (or, without one, the active or first window) to the image.
// A full-screen or maximised window is left alone. Centred where the window system lets Pelu
// place windows; elsewhere (Wayland) only the size changes.
void resizeWindowToImage(ZoomScrollArea* scrollArea, const QSizeF& image);

} // namespace zoom
