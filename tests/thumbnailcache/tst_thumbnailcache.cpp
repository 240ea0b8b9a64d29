#include "thumbnailcache/ThumbnailCache.h"

#include "imaging/colour/DisplayColour.h"
#include "thumbnailcache/ThumbnailStore.h"

#include <QColorSpace>
#include <QCryptographicHash>
#include <QImageReader>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <sys/stat.h>
#include <utime.h>

namespace {

QUrl fakeUrl(int n)
{
    return QUrl::fromLocalFile(QStringLiteral("/nowhere/%1.jpg").arg(n));
}

QString makePhoto(const QString& path, const QColor& colour, QSize size = {640, 480})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path);
    return path;
}

// Moves the file's modification time by this much, as an edit by another program would.
void touch(const QString& path, int seconds)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    const utimbuf times{info.st_atime, info.st_mtime + seconds};
    ::utime(QFile::encodeName(path).constData(), &times);
}

int modeOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return int(info.st_mode & 0777);
}

// Stands in for the image service: counts its calls, records the most running at once, and
// holds each call until the test lets it through. Call n makes a picture of hue 40 n.
struct Maker {
    std::atomic<int> calls{0}, running{0}, mostAtOnce{0};
    QSemaphore gate{1 << 20};

    ThumbnailCache::Maker function()
    {
        return [this](const QString&) -> std::optional<QImage> {
            const int call = ++calls;
            mostAtOnce = std::max(mostAtOnce.load(), ++running);
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

// What a cache of its own, as at a new start, answers for the file.
std::optional<QImage> loadFresh(const QString& path)
{
    ThumbnailCache cache;
    Answer answer;
    cache.loadThumbnail(QUrl::fromLocalFile(path), &cache, answer.done());
    [&] { QTRY_COMPARE_WITH_TIMEOUT(answer.count, 1, 20000); }();
    return answer.image;
}

} // namespace

// The process's thumbnails, and those on disk shared with the file managers.
class TestThumbnailCache : public QObject {
    Q_OBJECT

    QTemporaryDir m_cache;
    QTemporaryDir m_photos;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QCOMPARE(thumbnailstore::cacheFolder(), m_cache.path() + "/thumbnails");
    }

    // Full, the map is emptied whole before the new entry goes in; one short of full, nothing
    // is lost.
    void boundEmptiesTheWholeMap()
    {
        for (const int present : {499, 500}) {
            Maker maker;
            ThumbnailCache cache(maker.function(), 2);
            for (int n = 0; n < present; ++n)
                cache.loadThumbnail(fakeUrl(n), this, [](const std::optional<QImage>&) {});
            QTRY_COMPARE(cache.count(), present);
            Answer answer;
            cache.loadThumbnail(fakeUrl(present), this, answer.done());
            QTRY_COMPARE(answer.count, 1);
            QCOMPARE(cache.count(), present == 500 ? 1 : 500);
            QVERIFY(cache.cached(fakeUrl(present)));
            QCOMPARE(cache.cached(fakeUrl(0)).has_value(), present < 500);
        }
    }

    // With the one thread busy: requests for a file share its one make, and later ones are
    // answered before loadThumbnail returns; files nobody waits for any more are never made,
    // while a make whose receiver is gone still fills the map. Cancelling is by request.
    void oneMakePerFileOnlyForThoseWaiting()
    {
        Maker maker;
        maker.hold();
        ThumbnailCache cache(maker.function(), 1);
        Answer cancelled, shared, dropped, kept, orphan, hit;
        const auto ticket = cache.loadThumbnail(fakeUrl(1), this, cancelled.done());
        QVERIFY(cache.loadThumbnail(fakeUrl(1), this, shared.done()) != 0);
        const auto droppedTicket = cache.loadThumbnail(fakeUrl(2), this, dropped.done());
        cache.loadThumbnail(fakeUrl(3), this, kept.done());
        auto* receiver = new QObject;
        cache.loadThumbnail(fakeUrl(4), receiver, orphan.done());
        QTRY_COMPARE(maker.running.load(), 1);
        cache.cancel(ticket);
        cache.cancel(droppedTicket);
        delete receiver;
        maker.gate.release(10);
        QTRY_VERIFY(cache.cached(fakeUrl(4)));
        QCOMPARE(maker.calls.load(), 3);
        QCOMPARE(maker.mostAtOnce.load(), 1);
        QVERIFY(cache.cached(fakeUrl(1)) && !cache.cached(fakeUrl(2)));
        QCOMPARE(cancelled.count + dropped.count + orphan.count, 0);
        QCOMPARE(shared.count + kept.count, 2);
        QCOMPARE(cache.loadThumbnail(fakeUrl(1), this, hit.done()), ThumbnailCache::Ticket(0));
        QCOMPARE(hit.count, 1);
        QCOMPARE(hit.image->cacheKey(), shared.image->cacheKey());
        QCOMPARE(cache.thumbnailsMade(), 3);
    }

    // A file rewritten (remove), or a new screen profile (clear), while a picture is being made:
    // what was kept is forgotten, the make under way is done again, and the shower is told.
    void forgettingRemakesWhatIsUnderWay_data()
    {
        QTest::addColumn<bool>("all");
        QTest::newRow("remove") << false;
        QTest::newRow("clear") << true;
    }
    void forgettingRemakesWhatIsUnderWay()
    {
        QFETCH(bool, all);
        Maker maker;
        ThumbnailCache cache(maker.function(), 1);
        Answer earlier, answer;
        cache.loadThumbnail(fakeUrl(0), this, earlier.done());
        QTRY_COMPARE(earlier.count, 1);
        maker.hold();
        cache.loadThumbnail(fakeUrl(1), this, answer.done());
        QTRY_COMPARE(maker.running.load(), 1);
        QSignalSpy removed(&cache, &ThumbnailCache::thumbnailRemoved);
        QSignalSpy cleared(&cache, &ThumbnailCache::cleared);
        all ? cache.clear() : cache.remove(fakeUrl(1));
        QCOMPARE(cleared.count() + removed.count(), 1);
        QCOMPARE(cache.cached(fakeUrl(0)).has_value(), !all);
        maker.gate.release(10);
        QTRY_COMPARE(answer.count, 1);
        QCOMPARE(maker.calls.load(), 3);
        QCOMPARE(answer.image->pixel(0, 0), QColor::fromHsv(120, 255, 255).rgb());
        QVERIFY(cache.cached(fakeUrl(1)));
    }

    // Through the image service: a file that gives nothing now is tried again on every request,
    // and once it holds a 4000 × 3000 picture gives 120 × 90. Failures on disk are remembered
    // across starts, so that a damaged file is not decoded at each, until the file changes.
    void failures()
    {
        const QString path = m_photos.filePath(QStringLiteral("later.png"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\xFF\xD8\xFF garbage") > 0);
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
        QVERIFY(thumbnailstore::hasFailed(path));
        // Rewritten within the same second: the time alone cannot tell, the size does.
        const QDateTime failedAt = QFileInfo(path).lastModified();
        QVERIFY(file.open(QIODevice::Append) && file.write(" and more") > 0);
        QVERIFY(file.flush() && file.setFileTime(failedAt, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(!thumbnailstore::hasFailed(path));
        thumbnailstore::writeFailure(path);
        touch(path, 10);
        QVERIFY(!thumbnailstore::hasFailed(path));

        makePhoto(path, Qt::green, QSize(4000, 3000));
        Answer answer;
        cache.loadThumbnail(url, this, answer.done());
        QTRY_COMPARE_WITH_TIMEOUT(answer.count, 1, 20000);
        QCOMPARE(answer.image.value().size(), QSize(120, 90));
    }

    // With a wide-gamut screen's profile the strip shows the picture in the screen's colours,
    // while the copy kept on disk for other programs is sRGB. The next start reads that copy
    // without decoding the photo again: here its bytes are replaced behind the cache's back,
    // its size and time kept. A rewrite told to the cache drops the copy as well.
    void keptInSrgbReadByTheNextStart()
    {
        const QString path = makePhoto(m_photos.filePath("red.png"), Qt::red, QSize(200, 100));
        QVERIFY(imaging::setDisplayProfile(QColorSpace(QColorSpace::AdobeRgb).iccProfile()));
        for (const char* step : {"made", "read back"}) {
            const std::optional<QImage> shown = loadFresh(path);
            QVERIFY2(shown && shown->width() <= 120 && imaging::displayProfile()->holds(*shown),
                     step);
            QVERIFY2(std::abs(qRed(shown->pixel(10, 10)) - 219) <= 2 &&
                         qGreen(shown->pixel(10, 10)) <= 2,
                     step);
            QCOMPARE(thumbnailstore::read(path).value_or(QImage()).pixel(10, 10), qRgb(255, 0, 0));
            const qint64 size = QFileInfo(path).size();
            const QDateTime time = QFileInfo(path).lastModified();
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, 'x')) == size &&
                    file.flush() && file.setFileTime(time, QFileDevice::FileModificationTime));
        }
        imaging::setDisplayProfile({});
        ThumbnailCache().remove(QUrl::fromLocalFile(path));
        QVERIFY(!thumbnailstore::read(path));
    }

    // Named by the MD5 of the URI, escaped as the desktop escapes it; private to the user; the
    // URI and time inside; read back only while the file is unchanged.
    void writtenAsTheStandardSays()
    {
        const QString photo = makePhoto(m_photos.filePath("a b%#\u00e9.jpg"), Qt::red);
        const QByteArray uri = thumbnailstore::fileUri(photo);
        QCOMPARE(uri, "file://" + QUrl::toPercentEncoding(m_photos.path(), "/") +
                          "/a%20b%25%23%C3%A9.jpg");
        QImage thumbnail(128, 96, QImage::Format_RGB32);
        thumbnail.fill(Qt::red);
        QVERIFY(thumbnailstore::write(photo, thumbnail));
        const QString file = m_cache.path() + "/thumbnails/normal/" +
                             QCryptographicHash::hash(uri, QCryptographicHash::Md5).toHex() +
                             ".png";
        QCOMPARE(modeOf(file), 0600);
        QCOMPARE(modeOf(m_cache.path() + "/thumbnails/normal"), 0700);
        const QImage stored = QImageReader(file).read();
        QCOMPARE(stored.text("Thumb::URI").toUtf8(), uri);
        QCOMPARE(stored.text("Thumb::MTime"),
                 QString::number(QFileInfo(photo).lastModified().toSecsSinceEpoch()));
        QVERIFY(thumbnailstore::read(photo));
        touch(photo, 10);
        QVERIFY(!thumbnailstore::read(photo));
        thumbnailstore::remove(photo);
        QVERIFY(!QFile::exists(file));
    }

    // A file manager's large thumbnail serves too, scaled to the normal size; one that claims
    // more than a thumbnail's size is not read.
    void othersThumbnailsServe()
    {
        const QString large = m_cache.path() + "/thumbnails/large/";
        QVERIFY(QDir().mkpath(large));
        for (const QSize size : {QSize(256, 192), QSize(4000, 10)}) {
            const QString photo = makePhoto(m_photos.filePath("theirs.jpg"), Qt::green);
            QImage theirs(size, QImage::Format_RGB32);
            theirs.setText("Thumb::URI", QString::fromUtf8(thumbnailstore::fileUri(photo)));
            theirs.setText("Thumb::MTime",
                           QString::number(QFileInfo(photo).lastModified().toSecsSinceEpoch()));
            QVERIFY(theirs.save(large + thumbnailstore::thumbnailName(photo)));
            const std::optional<QImage> read = thumbnailstore::read(photo);
            QCOMPARE(read ? read->size() : QSize(), size.width() > 256 ? QSize() : QSize(128, 96));
        }
    }
};

QTEST_GUILESS_MAIN(TestThumbnailCache)
#include "tst_thumbnailcache.moc"
