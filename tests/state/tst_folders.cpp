#include "../support/TestSupport.h"
#include "Folders.h"
#include "state/AppState.h"
#include "state/EarlyListing.h"
#include "state/FolderListing.h"
#include "state/FolderWatcher.h"

#include <QElapsedTimer>
#include <QMimeDatabase>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <unistd.h>

using imaging::DecodeFailure;

namespace {

// Empty files, and folders for names ending in "/".
void touch(const QTemporaryDir& dir, const QStringList& names)
{
    for (const QString& name : names) {
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(name)).path()));
        QVERIFY(name.endsWith('/') || testsupport::writeFile(dir.filePath(name), {}));
    }
}

QStringList names(const QList<QUrl>& urls)
{
    QStringList out;
    for (const QUrl& u : urls)
        out.append(u.fileName());
    return out;
}

} // namespace

// Listing a folder, and following it as files come, change and go.
class TestFolders : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // Natural order ignoring case; only visible files of the supported types (and folders named
    // like them), though an opened hidden file is still shown, at position 0.
    void listing_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("index");
        QTest::newRow("natural order")
            << QStringList{"img10.png", "img2.png", "Img1.png"} << "img2.png"
            << QStringList{"Img1.png", "img2.png", "img10.png"} << 1;
        QTest::newRow("supported and visible")
            << QStringList{"IMG_0001.JPG", "notes.txt", "README",    ".cover.jpg", "photo.HeIc",
                           "raw.NEF",      "jpg",       "trailing.", "album.jpg/", "sub/inner.png"}
            << ".cover.jpg" << QStringList{"album.jpg", "IMG_0001.JPG", "photo.HeIc", "raw.NEF"}
            << 0;
        QTest::newRow("no images") << QStringList{"a.txt"} << "a.txt" << QStringList{} << 0;
    }
    void listing()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, opened);
        QFETCH(QStringList, listed);
        QFETCH(int, index);
        QTemporaryDir dir;
        touch(dir, files);
        AppState state;
        state.setCurrentIndex(3);
        state.loadDirectory(QUrl::fromLocalFile(dir.filePath(opened)));
        QCOMPARE(names(state.imageFiles()), listed);
        QCOMPARE(state.currentIndex(), index);
    }

    // Each supported type is known in any case, and the desktop entry claims it, so that the
    // desktop offers Pelu for it.
    void everySupportedTypeIsClaimed()
    {
        static const QRegularExpression mimeLine(QStringLiteral("^MimeType=(.*)$"),
                                                 QRegularExpression::MultilineOption);
        const QString entry = QString::fromUtf8(testsupport::readFile(
            QStringLiteral(PELU_SOURCE_DIR "/packaging/org.pelu.Pelu.desktop")));
        const QStringList claimed = mimeLine.match(entry).captured(1).split(QLatin1Char(';'));
        QVERIFY(!folder::hasSupportedExtension(QStringLiteral("x.svg")));
        for (const QString& extension : folder::supportedExtensions()) {
            QVERIFY(folder::hasSupportedExtension(QStringLiteral("x.") + extension.toUpper()));
            const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension,
                                                                   QMimeDatabase::MatchExtension);
            QVERIFY2(claimed.contains(type.name()) ||
                         std::any_of(type.aliases().cbegin(), type.aliases().cend(),
                                     [&](const QString& name) { return claimed.contains(name); }),
                     qPrintable(extension));
        }
    }

    void unreadableFolderGivesTheOpenedFileAlone()
    {
        AppState state;
        const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nonexistent-pelu-dir/a.png"));
        state.loadDirectory(missing);
        QCOMPARE(state.imageFiles(), QList<QUrl>{missing});
        QCOMPARE(state.currentIndex(), 0);

        if (geteuid() == 0)
            QSKIP("root reads any folder");
        QTemporaryDir dir;
        touch(dir, {QStringLiteral("a.png"), QStringLiteral("b.png")});
        QFile::setPermissions(dir.path(), QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QUrl opened = QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png")));
        state.loadDirectory(opened);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QCOMPARE(state.imageFiles(), QList<QUrl>{opened});
    }

    // A folder is found big when its thousandth image is read, once, and then still listed
    // whole and in order; a smaller one never is.
    void bigFolderIsFoundOnce()
    {
        QTemporaryDir dir;
        QStringList files{"notes.txt"};
        for (int i = 1; i < folder::detail::kBigFolder; ++i)
            files.append(QStringLiteral("p%1.png").arg(i));
        touch(dir, files);
        int found = 0;
        const auto count = [&found] { ++found; };
        QCOMPARE(folder::detail::readImagesIn(dir.path(), count)->size(),
                 folder::detail::kBigFolder - 1);
        QCOMPARE(found, 0);
        touch(dir, {"p0.png", "z.png"});
        const auto listed = folder::detail::readImagesIn(dir.path(), count);
        QCOMPARE(found, 1);
        QCOMPARE(listed->size(), folder::detail::kBigFolder + 1);
        QCOMPARE(names(*listed).first(), QStringLiteral("p0.png"));
        QCOMPARE(names(*listed).at(10), QStringLiteral("p10.png"));
        QCOMPARE(names(*listed).last(), QStringLiteral("z.png"));
    }

    // The folder listed while the application starts is used once, and only while unchanged;
    // a relative name on the command line lists the same folder as the opened file's.
    void earlyListingIsTakenOnceWhileTheFolderIsUnchanged()
    {
        QTemporaryDir dir;
        touch(dir, {"b 10.png", "b 9.png", "notes.txt"});
        const QString opened = dir.filePath(QStringLiteral("b 9.png"));
        const QStringList expected{"b 9.png", "b 10.png"};
        {
            const QString previous = QDir::currentPath();
            QDir::setCurrent(dir.path());
            const EarlyListing early(QStringLiteral("./b 9.png"));
            QDir::setCurrent(previous);
            QVERIFY(folder::detail::takeEarlyListing(dir.path() + "/"));
            QVERIFY(!folder::detail::takeEarlyListing(dir.path()));
        }
        {
            const EarlyListing early(opened);
            QVERIFY(!folder::detail::takeEarlyListing(QDir::tempPath()));
            QThread::msleep(100); // the early listing has read the folder by now
            touch(dir, {"a.png"});
            const auto listed = folder::listImages(QUrl::fromLocalFile(opened));
            QVERIFY(listed);
            QCOMPARE(names(*listed), (QStringList{"a.png"} + expected));
        }
        const EarlyListing early(dir.path());
        const auto listed = folder::listImagesIn(dir.path());
        QVERIFY(listed);
        QCOMPARE(names(*listed), (QStringList{"a.png"} + expected));
    }

    void folderOpensItsFirstImage()
    {
        QTemporaryDir dir;
        savePicture(dir.filePath(QStringLiteral("b10.png")), 10);
        savePicture(dir.filePath(QStringLiteral("B2.png")), 20);
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("empty")));
        AppState state;
        state.openFile(QUrl::fromLocalFile(dir.path()));
        QCOMPARE(state.windowTitle(), QStringLiteral("B2.png [1/2]"));
        QCOMPARE(state.currentImage()->width(), 20);
        // A folder without images leaves nothing shown, not the last picture.
        state.openFile(QUrl::fromLocalFile(dir.filePath(QStringLiteral("empty"))));
        QVERIFY(!state.currentURL() && !state.currentImage());
        QVERIFY(state.imageFiles().isEmpty());
        QCOMPARE(state.windowTitle(), QStringLiteral("Pelú"));
    }

    void followsFilesAddedRenamedAndRemoved()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 4);
        AppState state;
        state.openFile(urls[1]);
        QSignalSpy images(&state, &AppState::currentImageChanged);

        savePicture(dir.filePath(QStringLiteral("img0.png")), 30);
        QTRY_COMPARE(state.windowTitle(), QStringLiteral("img2.png [3/5]"));
        // The shown file renamed: still shown, under its new name, without reading it again.
        QVERIFY(QFile::rename(urls[1].toLocalFile(), dir.filePath(QStringLiteral("img3b.png"))));
        QTRY_COMPARE(state.windowTitle(), QStringLiteral("img3b.png [4/5]"));
        QVERIFY(QFile::remove(urls[0].toLocalFile()));
        QTRY_COMPARE(state.windowTitle(), QStringLiteral("img3b.png [3/4]"));
        QCOMPARE(images.count(), 0);
        QCOMPARE(state.currentImage()->width(), 10);

        // The shown file removed: the one that followed it takes its place, as after the Trash.
        QVERIFY(QFile::remove(dir.filePath(QStringLiteral("img3b.png"))));
        QTRY_COMPARE(state.windowTitle(), QStringLiteral("img4.png [3/3]"));
        QCOMPARE(state.currentImage()->width(), 12);
        // And the last one removed too: nothing is left to show.
        for (const QString& name : QDir(dir.path()).entryList(QDir::Files))
            QVERIFY(QFile::remove(dir.filePath(name)));
        QTRY_VERIFY(!state.currentURL());
        QVERIFY(!state.currentImage());
    }

    void rewrittenFilesAreReadAgain()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 3);
        AppState state;
        state.openFile(urls[0]);
        QTRY_COMPARE(state.preloadedImages().size(), 2);

        // Saved in place: shown anew.
        savePicture(urls[0].toLocalFile(), 50);
        QTRY_COMPARE(state.currentImage()->width(), 50);
        // Saved through a temporary file, as editors do: the preloaded copy goes and comes back.
        QVERIFY(savePicture(dir.filePath(QStringLiteral(".img2.png.tmp")), 60, 8, "PNG"));
        QVERIFY(std::rename(qPrintable(dir.filePath(QStringLiteral(".img2.png.tmp"))),
                            qPrintable(urls[1].toLocalFile())) == 0);
        QTRY_COMPARE(state.preloadedImages().value(urls[1]).width(), 60);
        state.nextImage();
        QCOMPARE(state.currentImage()->width(), 60);

        // A file that was not there yet is shown once it arrives.
        const QString late = dir.filePath(QStringLiteral("late.png"));
        state.openFile(QUrl::fromLocalFile(late));
        QCOMPARE(state.decodeFailure(), DecodeFailure::missing);
        savePicture(late, 70);
        QTRY_VERIFY(state.currentImage());
        QCOMPARE(state.decodeFailure(), DecodeFailure::none);
    }

    // A burst of new files, heard of as it comes, is listed once. A loaded machine may pause
    // the burst for longer than the watcher's quiet moment, or stretch it past its longest
    // delay: each such pause may bring one listing more, and no other.
    void burstOfNewFilesIsListedOnce()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 2);
        const QByteArray png = testsupport::readFile(urls[0].toLocalFile());
        AppState state;
        state.openFile(urls[1]);
        QSignalSpy listings(&state, &AppState::imageFilesChanged);
        QElapsedTimer burst, sinceEvents;
        burst.start();
        sinceEvents.start();
        int pauses = 0;
        for (int i = 0; i < 500; ++i) {
            QVERIFY(
                testsupport::writeFile(dir.filePath(QStringLiteral("import%1.png").arg(i)), png));
            if (i % 25 == 24) {
                pauses += sinceEvents.restart() > FolderWatcher::kQuietMs;
                QCoreApplication::processEvents();
            }
        }
        const qint64 stretches =
            (burst.elapsed() + FolderWatcher::kQuietMs) / FolderWatcher::kLongestDelayMs;
        QTRY_COMPARE_WITH_TIMEOUT(state.imageFiles().size(), 502, 20000);
        QCOMPARE_LE(listings.count(), 1 + pauses + stretches);
        QCOMPARE(state.currentURL(), urls[1]);
        QCOMPARE(state.windowTitle(), QStringLiteral("img2.png [2/502]"));
    }
};

QTEST_MAIN(TestFolders)
#include "tst_folders.moc"
