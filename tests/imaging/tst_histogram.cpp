#include "imaging/pixels/Histogram.h"

#include <QColorSpace>
#include <QtTest>

using imaging::HistogramData;

namespace {

// The single value each channel counted, or -1 when the counts are spread over several.
QList<int> peaks(const HistogramData& data)
{
    QList<int> found;
    for (const HistogramData::Counts* counts : {&data.red, &data.green, &data.blue}) {
        int only = -1;
        for (int v = 0; v < 256; ++v) {
            if ((*counts)[size_t(v)] != 0)
                only = only < 0 ? v : 256;
        }
        found.append(only > 255 ? -1 : only);
    }
    return found;
}

qint64 total(const HistogramData::Counts& counts)
{
    return std::accumulate(counts.begin(), counts.end(), qint64(0));
}

QImage filled(QSize size, QImage::Format format, const QColor& colour)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(colour);
    return image.convertToFormat(format);
}

} // namespace

class TestHistogram : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One colour in every pixel format the decoders hand out: each channel counts every
    // pixel at one value, transparent parts as if laid over black.
    void countsEveryFormatAsSrgb_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QList<int>>("peak");
        const QColor colour(10, 120, 250);
        const QList<std::pair<QImage::Format, const char*>> formats{
            {QImage::Format_RGB32, "RGB32"},
            {QImage::Format_ARGB32, "ARGB32"},
            {QImage::Format_ARGB32_Premultiplied, "ARGB32 premultiplied"},
            {QImage::Format_RGBX8888, "RGBX8888"},
            {QImage::Format_RGBA8888, "RGBA8888"},
            {QImage::Format_RGB888, "RGB888"},
            {QImage::Format_RGBX64, "RGBX64"},
            {QImage::Format_RGBA64, "RGBA64"},
            {QImage::Format_BGR30, "BGR30"},
            {QImage::Format_RGB16, "RGB16"}};
        for (const auto& [format, name] : formats) {
            const QImage image = filled({7, 5}, format, colour);
            // The colour as the format stores it (RGB16 keeps 5 and 6 bits).
            const QColor stored = image.pixelColor(0, 0);
            QTest::newRow(name) << image << QList{stored.red(), stored.green(), stored.blue()};
        }
        QImage indexed(7, 5, QImage::Format_Indexed8);
        indexed.setColorTable({qRgb(0, 0, 0), colour.rgb()});
        indexed.fill(1);
        const QColor grey(77, 77, 77), halfOrange(200, 100, 50, 128);
        QTest::newRow("indexed") << indexed << QList{10, 120, 250};
        QTest::newRow("1x1") << filled({1, 1}, QImage::Format_RGB32, colour) << QList{10, 120, 250};
        QTest::newRow("black") << filled({640, 480}, QImage::Format_RGB32, Qt::black)
                               << QList{0, 0, 0};
        QTest::newRow("grey") << filled({3, 3}, QImage::Format_Grayscale8, grey)
                              << QList{77, 77, 77};
        QTest::newRow("16-bit grey")
            << filled({3, 3}, QImage::Format_Grayscale16, grey) << QList{77, 77, 77};
        QTest::newRow("half transparent")
            << filled({4, 4}, QImage::Format_ARGB32, halfOrange) << QList{100, 50, 25};
        QTest::newRow("half transparent, RGBA8888")
            << filled({4, 4}, QImage::Format_RGBA8888, halfOrange) << QList{100, 50, 25};
        QTest::newRow("transparent")
            << filled({4, 4}, QImage::Format_ARGB32_Premultiplied, Qt::transparent)
            << QList{0, 0, 0};
    }

    void countsEveryFormatAsSrgb()
    {
        QFETCH(QImage, image);
        QFETCH(QList<int>, peak);
        const std::optional<HistogramData> data = imaging::computeHistogram(image);
        QVERIFY(data);
        QCOMPARE(peaks(*data), peak);
        const qint64 pixels = qint64(image.width()) * image.height();
        QCOMPARE(total(data->red), pixels);
        QCOMPARE(total(data->blue), pixels);
    }

    // Samples run along the rows in memory order, not on a grid: with an odd width, a step of
    // two lands on alternate columns from one row to the next.
    void samplesRunInMemoryOrder()
    {
        QImage image(1001, 1000, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y,
                               (qint64(y) * image.width() + x) % 2 ? qRgb(255, 255, 255)
                                                                   : qRgb(0, 0, 0));
        }
        const std::optional<HistogramData> data = imaging::computeHistogram(image);
        QVERIFY(data);
        QCOMPARE(data->red[0], qint64(500'500));
        QCOMPARE(data->red[255], qint64(0));
    }

    void convertsOtherColourSpacesToSrgb()
    {
        QImage image = filled({8, 8}, QImage::Format_RGB32, QColor(100, 150, 200));
        image.setColorSpace(QColorSpace::SRgb);
        image.convertToColorSpace(QColorSpace::DisplayP3);
        QVERIFY(image.pixelColor(0, 0) != QColor(100, 150, 200));
        const std::optional<HistogramData> data = imaging::computeHistogram(image);
        QVERIFY(data);
        const QList<int> peak = peaks(*data);
        QVERIFY2(std::abs(peak[0] - 100) <= 1 && std::abs(peak[1] - 150) <= 1 &&
                     std::abs(peak[2] - 200) <= 1,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(peak[0]).arg(peak[1]).arg(peak[2])));
    }

    void emptyImagesGiveNothing()
    {
        QCOMPARE(imaging::computeHistogram(QImage()), std::nullopt);
        QCOMPARE(imaging::computeHistogram(QImage(0, 5, QImage::Format_RGB32)), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestHistogram)
#include "tst_histogram.moc"
