#pragma once

#include <QImage>
#include <QSize>

namespace zoom {

// The canvas that holds an image of w × h pixels turned by the given angle.
QSize rotatedCanvasSize(int width, int height, double degrees);

// The image turned clockwise by degrees (counter-clockwise when negative) on a canvas just large
// enough to hold it, one pixel per point. A whole number of turns gives the image itself.
QImage rotatedImage(const QImage& image, double degrees);

} // namespace zoom
