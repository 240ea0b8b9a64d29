#include "imaging/pixels/Orientation.h"

#include <QColorSpace>

#include <array>
#include <cstring>
#include <utility>

namespace imaging {

int rotatedOrientation(int orientation, int quarterTurns)
{
    // Mirrored values cycle 2 → 7 → 4 → 5: the picture as shown must turn clockwise too.
    static constexpr std::array<std::pair<int, int>, 8> kClockwise{
        {{1, 6}, {2, 7}, {3, 8}, {4, 5}, {5, 2}, {6, 3}, {7, 4}, {8, 1}}};
    const int turns = ((quarterTurns % 4) + 4) % 4;
    for (int i = 0; i < turns; ++i) {
        for (const auto& [from, to] : kClockwise) {
            if (from == orientation) {
                orientation = to;
                break;
            }
        }
    }
    return orientation;
}

QImage turnedClockwise(const QImage& source, int quarterTurns)
{
    const int turns = ((quarterTurns % 4) + 4) % 4;
    if (source.isNull() || turns == 0)
        return source;
    QImage image = source;
    if (image.depth() < 8)
        image = image.convertToFormat(QImage::Format_Indexed8);
    const int w = image.width(), h = image.height();
    const bool swap = turns % 2 == 1;
    QImage out(swap ? h : w, swap ? w : h, image.format());
    if (out.isNull())
        return {};
    out.setColorTable(image.colorTable());
    out.setColorSpace(image.colorSpace());
    out.setDotsPerMeterX(swap ? image.dotsPerMeterY() : image.dotsPerMeterX());
    out.setDotsPerMeterY(swap ? image.dotsPerMeterX() : image.dotsPerMeterY());
    const int bytes = image.depth() / 8;
    uchar* const target = out.bits();
    const qsizetype stride = out.bytesPerLine();
    for (int y = 0; y < h; ++y) {
        const uchar* line = image.constScanLine(y);
        for (int x = 0; x < w; ++x) {
            // Where source pixel (x, y) lands after the turn.
            int tx = x, ty = y;
            if (turns == 1) {
                tx = h - 1 - y;
                ty = x;
            } else if (turns == 2) {
                tx = w - 1 - x;
                ty = h - 1 - y;
            } else {
                tx = y;
                ty = w - 1 - x;
            }
            std::memcpy(target + ty * stride + qsizetype(tx) * bytes, line + qsizetype(x) * bytes,
                        bytes);
        }
    }
    return out;
}

QImage orientedImage(const QImage& image, int orientation)
{
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return turnedClockwise(image, 2);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return turnedClockwise(image, 1).mirrored(true, false);
    case 6:
        return turnedClockwise(image, 1);
    case 7:
        return turnedClockwise(image, 1).mirrored(false, true);
    case 8:
        return turnedClockwise(image, 3);
    default:
        return image;
    }
}

} // namespace imaging
