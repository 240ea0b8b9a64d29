#include "imaging/pixels/ScreenCopy.h"

#include "imaging/support/ImageBuffer.h"

#include <QColorSpace>

#include <algorithm>
#include <vector>

namespace imaging {

namespace {

// A block's column sum of 8-bit samples stays within 16 bits: at most 65 rows of 255.
constexpr int kLargestFactor = 64;

// Restrict: the bytes of a row may not alias the sums, or nothing is vectorised.
void addRow(quint16* __restrict sum, const uchar* __restrict line, qsizetype samples)
{
    for (qsizetype i = 0; i < samples; ++i)
        sum[i] = quint16(sum[i] + line[i]);
}

template <int Channels> void averageBlocks(const QImage& source, QImage& out)
{
    const int outWidth = out.width();
    const int outHeight = out.height();
    const qsizetype samples = qsizetype(source.width()) * Channels;
    // Block edges spread over the source so that every pixel falls in exactly one block.
    std::vector<int> left(static_cast<size_t>(outWidth) + 1);
    for (int x = 0; x <= outWidth; ++x)
        left[size_t(x)] = int(qint64(x) * source.width() / outWidth);
    std::vector<quint16> columns(static_cast<size_t>(samples));
    for (int oy = 0; oy < outHeight; ++oy) {
        const int top = int(qint64(oy) * source.height() / outHeight);
        const int bottom = int(qint64(oy + 1) * source.height() / outHeight);
        // Rows are summed first, sample by sample: a straight loop the compiler vectorises.
        std::fill(columns.begin(), columns.end(), quint16(0));
        quint16* const sum = columns.data();
        for (int y = top; y < bottom; ++y)
            addRow(sum, source.constScanLine(y), samples);
        // Then the sums of each block's columns.
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(oy));
        for (int ox = 0; ox < outWidth; ++ox) {
            const int from = left[size_t(ox)];
            const int to = left[size_t(ox) + 1];
            quint32 total[Channels] = {};
            for (const quint16* p = sum + qsizetype(from) * Channels;
                 p < sum + qsizetype(to) * Channels; p += Channels) {
                for (int c = 0; c < Channels; ++c)
                    total[c] += p[c];
            }
            const float scale = 1.0f / float((bottom - top) * (to - from));
            const auto mean = [&](int c) { return int(float(total[c]) * scale + 0.5f); };
            target[ox] =
                Channels == 1 ? qRgb(mean(0), mean(0), mean(0)) : qRgb(mean(0), mean(1), mean(2));
        }
    }
}

// `source` averaged over blocks spread so that every pixel falls in exactly one, into `size`.
QImage averaged(const QImage& source, const QSize& size)
{
    const bool grey = source.format() == QImage::Format_Grayscale8;
    if (!grey && source.format() != QImage::Format_RGB888)
        return {};
    QImage out = newImage(size.width(), size.height(), QImage::Format_RGB32);
    if (out.isNull())
        return {};
    if (grey)
        averageBlocks<1>(source, out);
    else
        averageBlocks<3>(source, out);
    out.setColorSpace(source.colorSpace());
    return out;
}

} // namespace

namespace detail {

QImage blockAverage(const QImage& source, const QSize& size)
{
    // Blocks of at most kLargestFactor + 1 pixels a side.
    if (size.isEmpty() || size.width() > source.width() || size.height() > source.height() ||
        source.width() > qint64(kLargestFactor + 1) * size.width() ||
        source.height() > qint64(kLargestFactor + 1) * size.height())
        return {};
    return averaged(source, size);
}

QImage blockAverage(const QImage& source, int factor)
{
    factor = std::clamp(factor, 1, kLargestFactor);
    const int width = source.width() / factor;
    const int height = source.height() / factor;
    if (width < 1 || height < 1)
        return {};
    return averaged(source, QSize(width, height));
}

} // namespace detail

QImage smoothCopy(const QImage& source, const QSize& size)
{
    if (source.isNull() || size.isEmpty())
        return {};
    QImage reduced;
    if (source.format() == QImage::Format_RGB888 || source.format() == QImage::Format_Grayscale8) {
        const int factor = std::min(source.width() / size.width(), source.height() / size.height());
        // Averaged straight to the size asked for when the blocks are small enough: no second
        // window-sized image while the copy is made.
        if (factor >= 2)
            reduced = detail::blockAverage(source, size);
        // Less than halved (a zoom between 50 and 100 %): Qt's smoothing reads these formats
        // pixel by pixel, twice as slowly as after its own fast conversion to 32-bit.
        if (reduced.isNull())
            reduced = factor >= 2 ? detail::blockAverage(source, factor)
                                  : source.convertToFormat(QImage::Format_RGB32);
    }
    const QImage& from = reduced.isNull() ? source : reduced;
    QImage copy = from.size() == size
                      ? from
                      : from.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const auto format =
        copy.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32;
    if (copy.format() != format)
        copy.convertTo(format);
    return copy;
}

} // namespace imaging
