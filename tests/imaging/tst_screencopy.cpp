#include "imaging/pixels/ScreenCopy.h"

#include <QtTest>
#include <cstdlib>

namespace {

// A picture whose every pixel differs from its neighbours, so a misplaced block shows.
QImage pattern(int width, int height, QImage::Format format)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           qRgb((x * 37 + y * 11) % 256, (x * 5 + y * 71) % 256, (x * y) % 256));
    }
    return image.convertToFormat(format);
}

// Smooth ramps with a sharp edge every 32 pixels: two good filters differ little on it, a
// shifted or stretched copy differs along every edge.
QImage scene(int width, int height, int shift = 0)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgb(x * 255 / width, y * 255 / height, (((x + shift) / 32 + y / 32) % 2) * 255));
    }
    return image;
}

// Mean of the absolute channel differences: filters differ at single edge pixels, a shift
// shows along every edge.
double meanDifference(const QImage& a, const QImage& b)
{
    double total = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            total += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                     std::abs(qBlue(p) - qBlue(q));
        }
    }
    return total / (3.0 * a.width() * a.height());
}

} // namespace

class TestScreenCopy : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Blocks of uneven size when the factor does not divide the picture: every source pixel is
    // counted once, in the block it falls in, and each block is its own mean.
    void blocksAverageEveryPixelOnce_data()
    {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<bool>("bySize");
        QTest::newRow("24-bit") << QImage::Format_RGB888 << false;
        QTest::newRow("grey") << QImage::Format_Grayscale8 << false;
        QTest::newRow("24-bit, to a size") << QImage::Format_RGB888 << true;
        QTest::newRow("grey, to a size") << QImage::Format_Grayscale8 << true;
    }
    void blocksAverageEveryPixelOnce()
    {
        QFETCH(QImage::Format, format);
        QFETCH(bool, bySize);
        const QImage source = pattern(7, 5, format);
        const QImage out = bySize ? imaging::detail::blockAverage(source, QSize(3, 2))
                                  : imaging::detail::blockAverage(source, 2);
        QCOMPARE(out.size(), QSize(3, 2));
        QCOMPARE(out.format(), QImage::Format_RGB32);
        const int left[] = {0, 2, 4, 7};
        const int top[] = {0, 2, 5};
        for (int oy = 0; oy < 2; ++oy) {
            for (int ox = 0; ox < 3; ++ox) {
                double r = 0, g = 0, b = 0;
                int n = 0;
                for (int y = top[oy]; y < top[oy + 1]; ++y) {
                    for (int x = left[ox]; x < left[ox + 1]; ++x, ++n) {
                        const QRgb p = source.pixel(x, y);
                        r += qRed(p), g += qGreen(p), b += qBlue(p);
                    }
                }
                const QRgb got = out.pixel(ox, oy);
                QCOMPARE(qRed(got), qRound(r / n));
                QCOMPARE(qGreen(got), qRound(g / n));
                QCOMPARE(qBlue(got), qRound(b / n));
            }
        }
    }

    // The 24-bit path reads like Qt's own smoothing of the same picture in 32-bit: no shift,
    // no lost edge, the exact size asked for, in the format drawn fastest.
    void copiesMatchQtsSmoothScaling_data()
    {
        QTest::addColumn<QSize>("from");
        QTest::addColumn<QSize>("to");
        QTest::newRow("whole factor") << QSize(600, 400) << QSize(150, 100);
        QTest::newRow("uneven factor") << QSize(643, 391) << QSize(150, 91);
        QTest::newRow("tall") << QSize(97, 1003) << QSize(9, 100);
    }
    void copiesMatchQtsSmoothScaling()
    {
        QFETCH(QSize, from);
        QFETCH(QSize, to);
        const QImage wide = scene(from.width(), from.height());
        const QImage copy = imaging::smoothCopy(wide.convertToFormat(QImage::Format_RGB888), to);
        QCOMPARE(copy.size(), to);
        QCOMPARE(copy.format(), QImage::Format_RGB32);
        const QImage qt = wide.scaled(to, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        // Averages of the whole picture: a missed row or column of blocks would move them.
        const QImage meanCopy = copy.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage meanQt = qt.scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        QVERIFY(meanDifference(meanCopy, meanQt) <= 1);
    }

    // Blocks too tall for the row sums, or a size larger than the picture, are refused; the
    // copy then takes the way through a block-averaged image left to Qt and still has its size.
    void blocksOutOfBoundsAreRefused()
    {
        const QImage tall = pattern(10, 700, QImage::Format_RGB888);
        QVERIFY(imaging::detail::blockAverage(tall, QSize(5, 10)).isNull());
        QVERIFY(!imaging::detail::blockAverage(tall, QSize(5, 11)).isNull());
        QVERIFY(imaging::detail::blockAverage(tall, QSize(11, 700)).isNull());
        QCOMPARE(imaging::smoothCopy(tall, QSize(1, 5)).size(), QSize(1, 5));
    }

    // Pictures with alpha, and sizes with nothing to average, take Qt's path unchanged.
    void otherPicturesKeepQtsPath()
    {
        QImage clear(40, 40, QImage::Format_ARGB32);
        clear.fill(QColor(255, 0, 0, 128));
        const QImage copy = imaging::smoothCopy(clear, QSize(10, 10));
        QCOMPARE(copy.format(), QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(qAlpha(copy.pixel(5, 5)), 128);
        QCOMPARE(imaging::smoothCopy(pattern(40, 40, QImage::Format_RGB888), QSize(30, 30)).size(),
                 QSize(30, 30));
        QVERIFY(imaging::smoothCopy(QImage(), QSize(10, 10)).isNull());
        QVERIFY(imaging::smoothCopy(clear, QSize()).isNull());
    }
};

QTEST_GUILESS_MAIN(TestScreenCopy)
#include "tst_screencopy.moc"
