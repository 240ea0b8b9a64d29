#pragma once

#include "state/Modes.h"

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QString>
#include <optional>

// Everything the window hands the zoom surface, applied together by one update step.
struct ZoomParameters {
    std::optional<QImage> image;
    // When image is a preview decoded smaller: the size of the whole picture, which the
    // document takes. Empty otherwise.
    QSize fullSize;
    // The file the image came from: animated GIF and WebP files are played from it.
    QString sourcePath;
    // Degrees, clockwise on screen.
    double rotation = 0;
    bool isAutoSizeWindow = false;
    std::optional<ZoomAction> zoomAction;
    // Normalised image coordinates: 0 to 1 from the left and from the bottom edge.
    std::optional<QPointF> scrollTarget;
};
