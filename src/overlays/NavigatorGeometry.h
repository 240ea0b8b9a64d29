#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>

// The mini-map's geometry. Normalised image coordinates run from 0 to 1, y upward from the
// bottom edge; the mini-map's own run right and downward from its top-left corner.
namespace navigator {

// The image's aspect ratio with the longer side maxDimension and no side below 1.
QSizeF miniMapSize(const QSizeF& imageSize, double maxDimension);

// The visible part of the image, as a rectangle of the mini-map.
QRectF viewportRect(const QRectF& visibleRect, const QSizeF& miniMap);

// The image point under a position in the mini-map, each coordinate limited to [0, 1] (a
// coordinate that is not a number becomes 0).
QPointF imagePoint(const QPointF& position, const QSizeF& miniMap);

} // namespace navigator
