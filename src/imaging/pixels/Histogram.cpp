#include "imaging/pixels/Histogram.h"

#include "imaging/colour/DisplayColour.h"

#include <QColorSpace>

namespace imaging {

namespace {

// Hands every step-th pixel, in memory order, to count(y, line, x): a pass that stops
// only at the sampled pixels, however the rows fall.
template <typename Count> void sample(const QImage& image, qint64 step, Count&& count)
{
    const qint64 width = image.width(), height = image.height();
    qint64 x = 0;
    for (qint64 y = 0; y < height;) {
        const uchar* line = image.constScanLine(int(y));
        for (; x < width; x += step)
            count(int(y), line, x);
        y += x / width;
        x %= width;
    }
}

void add(HistogramData& data, QRgb premultiplied)
{
    ++data.red[qRed(premultiplied)];
    ++data.green[qGreen(premultiplied)];
    ++data.blue[qBlue(premultiplied)];
}

void add(HistogramData& data, const uchar* rgb)
{
    ++data.red[rgb[0]];
    ++data.green[rgb[1]];
    ++data.blue[rgb[2]];
}

// Premultiplied colours are the colours composed over black, so those formats are read as
// they are; the rest are premultiplied pixel by pixel. The common formats read their bytes
// in place, without a full-size converted copy.
HistogramData count(const QImage& image)
{
    HistogramData data;
    const qint64 step = histogramSamplingStep(qint64(image.width()) * image.height());
    const auto argb = [](const uchar* line, qint64 x) {
        return reinterpret_cast<const QRgb*>(line)[x];
    };
    switch (image.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32_Premultiplied:
        sample(image, step, [&](int, const uchar* line, qint64 x) { add(data, argb(line, x)); });
        break;
    case QImage::Format_ARGB32:
        sample(image, step,
               [&](int, const uchar* line, qint64 x) { add(data, qPremultiply(argb(line, x))); });
        break;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888_Premultiplied:
        sample(image, step, [&](int, const uchar* line, qint64 x) { add(data, line + 4 * x); });
        break;
    case QImage::Format_RGB888:
        sample(image, step, [&](int, const uchar* line, qint64 x) { add(data, line + 3 * x); });
        break;
    case QImage::Format_Grayscale8:
        sample(image, step, [&](int, const uchar* line, qint64 x) {
            ++data.red[line[x]];
            ++data.green[line[x]];
            ++data.blue[line[x]];
        });
        break;
    default:
        sample(image, step, [&](int y, const uchar*, qint64 x) {
            add(data, qPremultiply(image.pixel(int(x), y)));
        });
        break;
    }
    return data;
}

} // namespace

qint64 histogramSamplingStep(qint64 pixelCount)
{
    return pixelCount > 499'999 ? pixelCount / 500'000 : 1;
}

std::optional<HistogramData> computeHistogram(const QImage& image)
{
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return std::nullopt;
    const QColorSpace space = image.colorSpace();
    const std::shared_ptr<const DisplayProfile> screen = displayProfile();
    if (space.isValid() && space != QColorSpace::SRgb && !(screen && screen->holds(image))) {
        // Decoded images are in the screen's colours already, and those are counted as shown;
        // anything else pays for one copy converted to sRGB.
        QImage srgb = image.convertToFormat(
            image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
        srgb.convertToColorSpace(QColorSpace::SRgb);
        return count(srgb);
    }
    return count(image);
}

} // namespace imaging
