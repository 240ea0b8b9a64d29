#include "../support/TestSupport.h"
#include "Folders.h"
#include "state/AppState.h"
#include "state/FolderWatcher.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using imaging::DecodeFailure;

namespace {

// A PNG as wide as asked, so that the test can tell which version of a file is shown.
void savePicture(const QString& path, int width)
{
    QImage image(width, 8, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    image.save(path, "PNG");
}

} // namespace

class TestFolderSync : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
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
        savePicture(dir.filePath(QStringLiteral(".img2.png.tmp")), 60);
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

    void burstOfNewFilesIsListedOnce()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 2);
        const QByteArray png = testsupport::readFile(urls[0].toLocalFile());
        AppState state;
        state.openFile(urls[1]);
        QSignalSpy listings(&state, &AppState::imageFilesChanged);
        for (int i = 0; i < 500; ++i) {
            QVERIFY(
                testsupport::writeFile(dir.filePath(QStringLiteral("import%1.png").arg(i)), png));
            // The watcher hears of them as they come, not all at once.
            if (i % 25 == 0)
                QCoreApplication::processEvents();
        }
        QTRY_COMPARE(state.imageFiles().size(), 502);
        QTest::qWait(2 * FolderWatcher::kQuietMs);
        QCOMPARE(listings.count(), 1);
        QCOMPARE(state.currentURL(), urls[1]);
        QCOMPARE(state.windowTitle(), QStringLiteral("img2.png [2/502]"));
    }
};

QTEST_MAIN(TestFolderSync)
#include "tst_foldersync.moc"
