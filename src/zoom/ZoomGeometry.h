#pragma once

#include <QRectF>
#include <QSizeF>
#include <optional>

// Geometry of the zoom surface. Document coordinates are image points with the origin at the
// image's bottom-left corner and y growing upward; the clip bounds are the part of the document
// that the view shows.
namespace zoom {

inline constexpr double kMaxMagnification = 20.0;

// The bounds the view really uses for a proposed one: kept inside a document that is at least as
// large as the view, centred on an axis where the document is smaller. The size never changes.
QRectF constrainBounds(const QRectF& proposed, const QSizeF& document);

// The magnification that fits the document into the view, never above 1; none for empty sizes.
std::optional<double> fittedMagnification(const QSizeF& document, const QSizeF& view);

// The visible part of the document in fractions of its size, as reported to the window: a wholly
// visible image reads (0, 0, 1, 1) even with margins around it.
QRectF normalisedVisibleRect(const QRectF& bounds, const QSizeF& document);

// The origin of a view of size visible that puts the document point target (normalised, y
// upward) in its middle.
QPointF centredOrigin(const QSizeF& document, const QSizeF& visible, const QPointF& target);

} // namespace zoom
