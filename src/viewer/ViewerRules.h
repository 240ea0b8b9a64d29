#pragma once

#include <QRectF>
#include <QString>

// Small pure rules of the viewer window, kept apart so they can be tested without widgets.
namespace viewer {

// "3 / 12": position in the folder, 1-based.
QString positionText(qint64 currentIndex, qint64 count);

// Magnification as a whole percentage, truncated toward zero: 0.999 gives "99%".
// Values beyond what a 64-bit count holds (or not a number) never overflow.
QString zoomText(double magnification);

// The navigator shows while part of the image is out of view, or while it is dragged.
bool isNavigatorVisible(bool hasImage, const QRectF& visibleRect, bool isDragging);

// Distance of the navigator from the bottom edge.
int navigatorBottomInset(bool thumbnailStripShown);

} // namespace viewer
