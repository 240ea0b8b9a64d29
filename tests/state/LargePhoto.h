#pragma once

#include <QImage>
#include <QString>

// A JPEG of 4000 × 3000 pixels of noise: large enough on disk to be decoded in the background,
// and slow enough to decode that a step can come while it is under way.
inline bool writeLargePhoto(const QString& path)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    quint32 x = 2463534242u;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        for (int i = 0; i < image.width(); ++i) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            line[i] = 0xff000000u | (x & 0xffffffu);
        }
    }
    return image.save(path, "JPG", 90);
}
