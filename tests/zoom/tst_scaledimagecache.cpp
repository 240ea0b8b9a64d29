#include "base/WorkPool.h"
#include "zoom/ScaledImageCache.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QtTest>

namespace {

// Over the size that is scaled at once, so that copies are made in the background.
QImage photo(QColor colour)
{
    QImage image(2000, 1000, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void settle()
{
    base::workPool().waitForDone();
    QCoreApplication::processEvents();
}

} // namespace

class TestScaledImageCache : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The whole photo after its preview: the preview's copy, or the preview itself when it was
    // drawn unscaled, stands in until the whole photo's copy comes.
    void refinedSourceKeepsWhatIsShown()
    {
        const QSize fitted(500, 250);
        QImage preview(1000, 500, QImage::Format_RGB32);
        preview.fill(Qt::red);
        ScaledImageCache cache;
        cache.setSource(preview);
        const ScaledImageCache::Copy fromPreview = cache.copyFor(fitted, 1.0);
        QVERIFY(fromPreview.exact);
        cache.setSource(photo(Qt::red), true);
        const ScaledImageCache::Copy standIn = cache.copyFor(fitted, 1.0);
        QVERIFY(!standIn.exact);
        QCOMPARE(standIn.image.cacheKey(), fromPreview.image.cacheKey());
        settle();
        QVERIFY(cache.copyFor(fitted, 1.0).exact);

        ScaledImageCache unscaled;
        unscaled.setSource(preview);
        unscaled.setSource(photo(Qt::red), true);
        QCOMPARE(unscaled.copyFor(fitted, 1.0).image.cacheKey(), preview.cacheKey());
    }

    void preparedAndLeftBehindCopiesAreAtHand()
    {
        const QSize fitted(640, 320);
        const QImage shown = photo(Qt::red), next = photo(Qt::green), other = photo(Qt::blue);
        const QImage previous = photo(Qt::yellow);
        ScaledImageCache cache;
        cache.setSource(shown);
        // Until the smooth copy comes, a sampled one of the same size stands in for it.
        const ScaledImageCache::Copy standIn = cache.copyFor(fitted, 1.0);
        QVERIFY(!standIn.exact);
        QCOMPARE(standIn.image.size(), fitted);
        QCOMPARE(standIn.image.pixelColor(5, 5), QColor(Qt::red));
        QVERIFY(!cache.hasCopy(fitted, 1.0));
        cache.prepare(next, fitted, 1.0);
        cache.prepare(previous, fitted, 1.0);
        settle();
        QVERIFY(cache.copyFor(fitted, 1.0).exact);

        // The step: the neighbour's copy is there at once, with its own pixels, although
        // keeping the copy of the picture left behind pushes out the oldest prepared one.
        cache.setSource(next);
        const ScaledImageCache::Copy copy = cache.copyFor(fitted, 1.0);
        QVERIFY(copy.exact);
        QCOMPARE(copy.image.pixelColor(10, 10), QColor(Qt::green));
        // Another size is scaled afresh.
        QVERIFY(!cache.copyFor(QSize(600, 300), 1.0).exact);
        settle();
        // A step back finds the copy of the picture it left.
        cache.setSource(shown);
        QVERIFY(cache.copyFor(fitted, 1.0).exact);
        QCOMPARE(cache.copyFor(fitted, 1.0).image.pixelColor(10, 10), QColor(Qt::red));
        // An image never prepared is scaled afresh.
        cache.setSource(other);
        QVERIFY(!cache.copyFor(fitted, 1.0).exact);
    }

    void onlyTheLastFewAreKept()
    {
        QList<QImage> images;
        ScaledImageCache cache;
        for (int i = 0; i < ScaledImageCache::kPreparedKept + 2; ++i)
            cache.prepare(images.emplace_back(photo(QColor(i * 40, 0, 0))), {640, 320}, 1.0);
        settle();
        QVERIFY(!cache.isPrepared(images.first(), {640, 320}, 1.0));
        QVERIFY(cache.isPrepared(images.last(), {640, 320}, 1.0));
        cache.setSource(images.first());
        QVERIFY(!cache.copyFor({640, 320}, 1.0).exact);
    }
};

QTEST_MAIN(TestScaledImageCache)
#include "tst_scaledimagecache.moc"
