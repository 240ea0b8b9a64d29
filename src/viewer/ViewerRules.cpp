#include "viewer/ViewerRules.h"

#include <QCoreApplication>

#include <cmath>
#include <limits>

namespace viewer {

QString positionText(qint64 currentIndex, qint64 count)
{
    return QCoreApplication::translate("ImageViewer", "%1 / %2").arg(currentIndex + 1).arg(count);
}

QString zoomText(double magnification)
{
    const double percent = std::trunc(magnification * 100.0);
    qint64 whole = 0;
    if (std::isnan(percent))
        whole = 0;
    else if (percent >= double(std::numeric_limits<qint64>::max()))
        whole = std::numeric_limits<qint64>::max();
    else if (percent <= double(std::numeric_limits<qint64>::min()))
        whole = std::numeric_limits<qint64>::min();
    else
        whole = qint64(percent);
    return QCoreApplication::translate("ImageViewer", "%1%").arg(whole);
}

bool isNavigatorVisible(bool hasImage, const QRectF& visibleRect, bool isDragging)
{
    if (!hasImage)
        return false;
    return visibleRect.width() < 0.99 || visibleRect.height() < 0.99 || isDragging;
}

int navigatorBottomInset(bool thumbnailStripShown)
{
    return 12 + (thumbnailStripShown ? 60 : 0);
}

} // namespace viewer
