#include "overlays/NavigatorGeometry.h"

#include <algorithm>
#include <cmath>

namespace navigator {

QSizeF miniMapSize(const QSizeF& imageSize, double maxDimension)
{
    if (!(imageSize.width() > 0 && imageSize.height() > 0))
        return {maxDimension, maxDimension};
    const double aspect = imageSize.width() / imageSize.height();
    if (aspect < 1)
        return {std::max(aspect * maxDimension, 1.0), maxDimension};
    return {maxDimension, std::max(maxDimension / aspect, 1.0)};
}

QRectF viewportRect(const QRectF& visibleRect, const QSizeF& miniMap)
{
    const double mw = miniMap.width(), mh = miniMap.height();
    const QSizeF size(mw * std::min(visibleRect.width(), 1.0),
                      mh * std::min(visibleRect.height(), 1.0));
    // Flipped: the image's y grows upward, the mini-map's downward.
    const QPointF centre(mw * (visibleRect.x() + visibleRect.width() / 2),
                         mh * (1 - (visibleRect.y() + visibleRect.height() / 2)));
    return {centre - QPointF(size.width() / 2, size.height() / 2), size};
}

QPointF imagePoint(const QPointF& position, const QSizeF& miniMap)
{
    const auto limit = [](double value) {
        return std::isnan(value) ? 0.0 : std::max(std::min(value, 1.0), 0.0);
    };
    return {limit(position.x() / miniMap.width()), limit(1 - position.y() / miniMap.height())};
}

} // namespace navigator
