#include "thumbnailcache/ThumbnailCache.h"

#include "imaging/colour/DisplayColour.h"
#include "thumbnailcache/ThumbnailStore.h"

#include <QColorSpace>

#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>

namespace {

QUrl fakeUrl(int n)
{
    return QUrl::fromLocalFile(QStringLiteral("/nowhere/%1.jpg").arg(n));
}

// Stands in for the image service: counts its calls, records the most running at once, and
// holds each call until the test lets it through.
struct Maker {
    std::atomic<int> calls{0};
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    QSemaphore gate{1 << 20};

    ThumbnailCache::Maker function()
    {
        return [this](const QString&) -> std::optional<QImage> {
            const int call = ++calls;
            const int now = ++running;
            mostAtOnce = std::max(mostAtOnce.load(), now);
            gate.acquire();
            --running;
            QImage image(8, 6, QImage::Format_RGB32);
            image.fill(QColor::fromHsv(call * 40 % 360, 255, 255));
            return image;
        };
    }
    void hold() { gate.acquire(gate.available()); }
};

// Collects what a request hands back.
struct Answer {
    int count = 0;
    std::optional<QImage> image;

    ThumbnailCache::Done done()
    {
        return [this](const std::optional<QImage>& result) {
            ++count;
            image = result;
        };
    }
};

} // namespace

class TestThumbnailCache : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Full, the map is emptied whole before the new entry goes in; one short of full, nothing
    // is lost.
    void boundEmptiesTheWholeMap_data()
    {
        QTest::addColumn<int>("present");
        QTest::addColumn<int>("after");
        QTest::newRow("499 and a miss") << 499 << 500;
        QTest::newRow("500 and a miss") << 500 << 1;
    }
    void boundEmptiesTheWholeMap()
    {
        QFETCH(int, present);
        QFETCH(int, after);
        Maker maker;
        ThumbnailCache cache(maker.function(), 2);
        for (int n = 0; n < present; ++n)
            cache.loadThumbnail(fakeUrl(n), this, [](const std::optional<QImage>&) {});
        QTRY_COMPARE(cache.count(), present);
        Answer answer;
        cache.loadThumbnail(fakeUrl(present), this, answer.done());
        QTRY_COMPARE(answer.count, 1);
        QCOMPARE(cache.count(), after);
        QVERIFY(cache.cached(fakeUrl(present)));
        QCOMPARE(cache.cached(fakeUrl(0)).has_value(), after > 1);
    }

    // Requests while a file is being made share the one make; later ones are answered before
    // loadThumbnail returns, with no work in the background.
    void oneMakePerFileThenHits()
    {
        Maker maker;
        maker.hold();
        ThumbnailCache cache(maker.function(), 1);
        Answer first, second, third;
        QVERIFY(cache.loadThumbnail(fakeUrl(1), this, first.done()) != 0);
        QVERIFY(cache.loadThumbnail(fakeUrl(1), this, second.done()) != 0);
        QCOMPARE(first.count + second.count, 0);
        maker.gate.release(10);
        QTRY_COMPARE(first.count + second.count, 2);
        QVERIFY(first.image && second.image);
        QCOMPARE(first.image->cacheKey(), second.image->cacheKey());

        QCOMPARE(cache.loadThumbnail(fakeUrl(1), this, third.done()), ThumbnailCache::Ticket(0));
        QCOMPARE(third.count, 1);
        QCOMPARE(third.image->cacheKey(), first.image->cacheKey());
        QCOMPARE(maker.calls.load(), 1);
        QCOMPARE(cache.thumbnailsMade(), 1);
    }

    // With the one thread busy, files nobody waits for any more are never made; a make under
    // way whose requester left, or whose receiver is gone, still fills the map.
    void cancelledFilesAreNotMade()
    {
        Maker maker;
        maker.hold();
        ThumbnailCache cache(maker.function(), 1);
        Answer running, dropped, kept, orphan;
        const auto runningTicket = cache.loadThumbnail(fakeUrl(1), this, running.done());
        const auto droppedTicket = cache.loadThumbnail(fakeUrl(2), this, dropped.done());
        cache.loadThumbnail(fakeUrl(3), this, kept.done());
        auto* receiver = new QObject;
        cache.loadThumbnail(fakeUrl(4), receiver, orphan.done());
        QTRY_COMPARE(maker.running.load(), 1);
        cache.cancel(runningTicket);
        cache.cancel(droppedTicket);
        delete receiver;
        maker.gate.release(10);
        QTRY_VERIFY(cache.cached(fakeUrl(4)));
        QCOMPARE(maker.calls.load(), 3);
        QCOMPARE(maker.mostAtOnce.load(), 1);
        QVERIFY(cache.cached(fakeUrl(1)) && !cache.cached(fakeUrl(2)));
        QCOMPARE(running.count + dropped.count + orphan.count, 0);
        QCOMPARE(kept.count, 1);
    }

    // A file rewritten while its thumbnail was being made is made again from the new contents.
    void removeForgetsAndRemakesAFileUnderWay()
    {
        Maker maker;
        maker.hold();
        ThumbnailCache cache(maker.function(), 1);
        QSignalSpy removed(&cache, &ThumbnailCache::thumbnailRemoved);
        Answer answer;
        cache.loadThumbnail(fakeUrl(1), this, answer.done());
        QTRY_COMPARE(maker.running.load(), 1);
        cache.remove(fakeUrl(1));
        maker.gate.release(10);
        QTRY_COMPARE(answer.count, 1);
        QCOMPARE(maker.calls.load(), 2);
        QCOMPARE(answer.image->pixel(0, 0), QColor::fromHsv(80, 255, 255).rgb());
        QVERIFY(cache.cached(fakeUrl(1)));
        cache.remove(fakeUrl(1));
        QVERIFY(!cache.cached(fakeUrl(1)));
        QCOMPARE(removed.count(), 2);
    }

    // A new screen profile: every picture is forgotten, and the one under way is made again,
    // in the new colours; whoever shows pictures is told once.
    void clearForgetsEverythingAndRemakesWhatIsUnderWay()
    {
        Maker maker;
        ThumbnailCache cache(maker.function(), 1);
        Answer first;
        cache.loadThumbnail(fakeUrl(1), this, first.done());
        QTRY_COMPARE(first.count, 1);
        maker.hold();
        Answer second;
        cache.loadThumbnail(fakeUrl(2), this, second.done());
        QTRY_COMPARE(maker.running.load(), 1);
        QSignalSpy cleared(&cache, &ThumbnailCache::cleared);
        cache.clear();
        QCOMPARE(cleared.count(), 1);
        QVERIFY(!cache.cached(fakeUrl(1)));
        maker.gate.release(10);
        QTRY_COMPARE(second.count, 1);
        QCOMPARE(maker.calls.load(), 3);
        QCOMPARE(second.image->pixel(0, 0), QColor::fromHsv(120, 255, 255).rgb());
    }

    // Through the image service: a file that gives nothing is tried again on every request,
    // and once it holds a 4000 × 3000 picture gives 120 × 90.
    void failuresAreNotRemembered()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("later.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("no picture yet") > 0);
        file.close();
        ThumbnailCache cache;
        const QUrl url = QUrl::fromLocalFile(path);
        for (int attempt = 1; attempt <= 2; ++attempt) {
            Answer answer;
            cache.loadThumbnail(url, this, answer.done());
            QTRY_COMPARE(answer.count, 1);
            QVERIFY(!answer.image);
            QCOMPARE(cache.thumbnailsMade(), attempt);
        }
        QImage picture(4000, 3000, QImage::Format_RGB32);
        picture.fill(Qt::green);
        QVERIFY(picture.save(path));
        Answer answer;
        cache.loadThumbnail(url, this, answer.done());
        QTRY_COMPARE_WITH_TIMEOUT(answer.count, 1, 20000);
        QCOMPARE(answer.image.value().size(), QSize(120, 90));
    }

    // With a wide-gamut screen's profile: the strip shows the picture in the screen's colours,
    // made now or read back from disk, while the copy kept on disk for other programs is sRGB.
    void keptInSrgbShownInTheScreensColours()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("red.png"));
        QImage picture(200, 100, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(path));
        const QUrl url = QUrl::fromLocalFile(path);
        thumbnailstore::remove(path);
        QVERIFY(imaging::setDisplayProfile(QColorSpace(QColorSpace::AdobeRgb).iccProfile()));
        for (const char* step : {"made", "read back"}) {
            // A cache of its own each time: the second finds the picture only on disk.
            ThumbnailCache cache;
            Answer answer;
            cache.loadThumbnail(url, this, answer.done());
            QTRY_COMPARE_WITH_TIMEOUT(answer.count, 1, 20000);
            QVERIFY2(answer.image, step);
            const QImage shown = *answer.image;
            QVERIFY2(imaging::displayProfile()->holds(shown), step);
            QVERIFY2(std::abs(qRed(shown.pixel(10, 10)) - 219) <= 2 &&
                         qGreen(shown.pixel(10, 10)) <= 2,
                     step);
            const std::optional<QImage> kept = thumbnailstore::read(path);
            QVERIFY2(kept, step);
            QCOMPARE(kept->pixel(10, 10), qRgb(255, 0, 0));
        }
        imaging::setDisplayProfile({});
        thumbnailstore::remove(path);
    }
};

QTEST_GUILESS_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
