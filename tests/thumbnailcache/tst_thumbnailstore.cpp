#include "thumbnailcache/ThumbnailCache.h"
#include "thumbnailcache/ThumbnailStore.h"

#include <QImageReader>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <utime.h>

namespace {

QString makePhoto(const QString& path, const QColor& colour, QSize size = {640, 480})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    image.save(path);
    return path;
}

// Moves the file's modification time, as an edit by another program would.
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

} // namespace

// The thumbnails shared with the file managers, as the freedesktop standard keeps them.
class TestThumbnailStore : public QObject {
    Q_OBJECT

    QTemporaryDir m_cache;
    QTemporaryDir m_photos;

private Q_SLOTS:
    void initTestCase()
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_cache.path()));
        QCOMPARE(thumbnailstore::cacheFolder(), m_cache.path() + "/thumbnails");
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
        QVERIFY(QFile::exists(file));
        QCOMPARE(modeOf(file), 0600);
        QCOMPARE(modeOf(m_cache.path() + "/thumbnails/normal"), 0700);
        QImageReader reader(file);
        const QImage stored = reader.read();
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
        const QString photo = makePhoto(m_photos.filePath("theirs.jpg"), Qt::green);
        const QString large = m_cache.path() + "/thumbnails/large";
        QVERIFY(QDir().mkpath(large));
        QImage theirs(256, 192, QImage::Format_RGB32);
        theirs.fill(Qt::green);
        theirs.setText("Thumb::URI", QString::fromUtf8(thumbnailstore::fileUri(photo)));
        theirs.setText("Thumb::MTime",
                       QString::number(QFileInfo(photo).lastModified().toSecsSinceEpoch()));
        QVERIFY(theirs.save(large + "/" + thumbnailstore::thumbnailName(photo)));
        const std::optional<QImage> read = thumbnailstore::read(photo);
        QVERIFY(read);
        QCOMPARE(read->size(), QSize(128, 96));

        const QString lying = makePhoto(m_photos.filePath("lying.jpg"), Qt::blue);
        QImage huge(4000, 10, QImage::Format_RGB32);
        huge.setText("Thumb::URI", QString::fromUtf8(thumbnailstore::fileUri(lying)));
        huge.setText("Thumb::MTime",
                     QString::number(QFileInfo(lying).lastModified().toSecsSinceEpoch()));
        QVERIFY(huge.save(large + "/" + thumbnailstore::thumbnailName(lying)));
        QVERIFY(!thumbnailstore::read(lying));
    }

    // A file that could not be read is not decoded again at the next start, until it changes.
    void failuresAreRemembered()
    {
        const QString broken = m_photos.filePath("broken.jpg");
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("\xFF\xD8\xFF garbage") > 0);
        file.close();
        ThumbnailCache cache;
        std::optional<std::optional<QImage>> result;
        cache.loadThumbnail(QUrl::fromLocalFile(broken), &cache,
                            [&result](const std::optional<QImage>& image) { result = image; });
        QTRY_VERIFY(result.has_value());
        QVERIFY(!*result);
        QVERIFY(thumbnailstore::hasFailed(broken));
        // Rewritten within the same second: the time alone cannot tell, the size does.
        const QDateTime failedAt = QFileInfo(broken).lastModified();
        QVERIFY(file.open(QIODevice::Append) && file.write(" and more") > 0);
        QVERIFY(file.flush() && file.setFileTime(failedAt, QFileDevice::FileModificationTime));
        file.close();
        QVERIFY(!thumbnailstore::hasFailed(broken));
        thumbnailstore::writeFailure(broken);
        touch(broken, 10);
        QVERIFY(!thumbnailstore::hasFailed(broken));
    }

    // The second start reads what the first one made, without decoding the photo again: here
    // the photo's content is replaced behind the cache's back, its time kept.
    void aSecondStartReadsTheStore()
    {
        const QString photo = makePhoto(m_photos.filePath("second.jpg"), Qt::magenta);
        const auto load = [&photo] {
            ThumbnailCache cache;
            std::optional<std::optional<QImage>> result;
            cache.loadThumbnail(QUrl::fromLocalFile(photo), &cache,
                                [&result](const std::optional<QImage>& image) { result = image; });
            [&] { QTRY_VERIFY(result.has_value()); }();
            return result.value_or(std::nullopt);
        };
        const std::optional<QImage> first = load();
        QVERIFY(first && first->width() <= 120 && first->height() <= 120);
        struct stat info {};
        ::stat(QFile::encodeName(photo).constData(), &info);
        makePhoto(photo, Qt::yellow);
        const utimbuf times{info.st_atime, info.st_mtime};
        ::utime(QFile::encodeName(photo).constData(), &times);
        const std::optional<QImage> second = load();
        QVERIFY(second);
        QCOMPARE(second->pixelColor(10, 10).rgb(), first->pixelColor(10, 10).rgb());
        // A rewrite told to the cache drops the stored picture as well.
        ThumbnailCache cache;
        cache.remove(QUrl::fromLocalFile(photo));
        QVERIFY(!thumbnailstore::read(photo));
    }
};

QTEST_GUILESS_MAIN(TestThumbnailStore)
#include "tst_thumbnailstore.moc"
