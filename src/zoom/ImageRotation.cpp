#include "zoom/ImageRotation.h"

#include <QPainter>
#include <QTransform>
#include <cmath>
#include <numbers>

namespace zoom {

namespace {

// The cosine of a quarter turn is about 6e-17, not 0: without snapping, a quarter turn of
// 4000 × 3000 would get a 3001-pixel-wide canvas with a transparent column.
double ceilingIgnoringNoise(double value)
{
    const double nearest = std::round(value);
    return std::ceil(std::abs(value - nearest) < 1e-9 ? nearest : value);
}

} // namespace

QSize rotatedCanvasSize(int width, int height, double degrees)
{
    const double theta = std::fmod(degrees, 360.0) * std::numbers::pi / 180.0;
    const double c = std::abs(std::cos(theta));
    const double s = std::abs(std::sin(theta));
    return {int(ceilingIgnoringNoise(c * width + s * height)),
            int(ceilingIgnoringNoise(s * width + c * height))};
}

QImage rotatedImage(const QImage& image, double degrees)
{
    const double r = std::fmod(degrees, 360.0);
    if (r == 0 || image.isNull())
        return image;
    const QSize canvas = rotatedCanvasSize(image.width(), image.height(), r);
    if (std::fmod(r, 90.0) == 0) {
        // Quarter turns move pixels exactly, and fast.
        QImage turned = image.transformed(QTransform().rotate(r));
        turned.setDevicePixelRatio(1.0);
        if (turned.size() == canvas)
            return turned;
    }
    QImage result(canvas, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return image;
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.translate(canvas.width() / 2.0, canvas.height() / 2.0);
    painter.rotate(r);
    painter.drawImage(
        QRectF(-image.width() / 2.0, -image.height() / 2.0, image.width(), image.height()), image);
    return result;
}

} // namespace zoom
