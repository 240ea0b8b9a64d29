#include "zoom/ZoomGeometry.h"

#include <algorithm>

namespace zoom {

namespace {

// One axis: clamp into a document that is large enough, otherwise centre the document.
double constrainAxis(double origin, double visible, double document)
{
    if (document < visible)
        return (document - visible) * 0.5;
    return std::clamp(origin, 0.0, document - visible);
}

} // namespace

QRectF constrainBounds(const QRectF& proposed, const QSizeF& document)
{
    if (document.isEmpty())
        return proposed;
    QRectF r = proposed;
    r.moveTo(constrainAxis(proposed.x(), proposed.width(), document.width()),
             constrainAxis(proposed.y(), proposed.height(), document.height()));
    return r;
}

std::optional<double> fittedMagnification(const QSizeF& document, const QSizeF& view)
{
    if (!(document.width() > 0) || !(document.height() > 0))
        return std::nullopt;
    if (!(view.width() > 0) || !(view.height() > 0))
        return std::nullopt;
    const double m = std::min(view.width() / document.width(), view.height() / document.height());
    return std::min(m, 1.0);
}

QRectF normalisedVisibleRect(const QRectF& bounds, const QSizeF& document)
{
    const double w = document.width();
    const double h = document.height();
    return {std::max(bounds.x() / w, 0.0), std::max(bounds.y() / h, 0.0),
            std::min(bounds.width() / w, 1.0), std::min(bounds.height() / h, 1.0)};
}

QPointF centredOrigin(const QSizeF& document, const QSizeF& visible, const QPointF& target)
{
    return {target.x() * document.width() - visible.width() * 0.5,
            target.y() * document.height() - visible.height() * 0.5};
}

} // namespace zoom
