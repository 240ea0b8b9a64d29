// Jumps onto files that are not at hand: decoded away from the window's thread, the picture and
// the title changing together, steps meanwhile counting from the file on its way; Page Up and
// Page Down with wrap-around; the position of a file opened in a folder still being listed; and
// the photo behind a person walking one way, held scaled down.
#include "../support/TestAccess.h"
#include "../support/TestSupport.h"
#include "Folders.h"
#include "LargePhoto.h"
#include "imaging/decoders/Decoding.h"
#include "state/AppState.h"
#include "state/EarlyListing.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every title the model shows, from now on.
struct Titles {
    QStringList seen;
    explicit Titles(AppState& state)
    {
        QObject::connect(&state, &AppState::windowTitleChanged, &state,
                         [this, &state] { seen.append(state.windowTitle()); });
    }
};

// A title names a file with its own position, or names it alone.
bool titleIsTrue(const QString& title, const QList<QUrl>& files)
{
    for (qsizetype i = 0; i < files.size(); ++i) {
        const QString name = files[i].fileName();
        if (title == name ||
            title == QStringLiteral("%1 [%2/%3]").arg(name).arg(i + 1).arg(files.size()))
            return true;
    }
    return false;
}

} // namespace

class TestJumps : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;
    QTemporaryDir m_dir;
    QList<QUrl> m_files; // img1.png .. img3.png, then img4.jpg, a large photo

private Q_SLOTS:
    void initTestCase()
    {
        m_files = makeFolder(m_dir, 3);
        const QString large = m_dir.filePath(QStringLiteral("img4.jpg"));
        QVERIFY(writeLargePhoto(large));
        QVERIFY(imaging::decodesSlowly(large));
        m_files.append(QUrl::fromLocalFile(large));
    }

    // The jump returns at once with everything as it was; the preview, then the whole picture,
    // come from the background, and the title never pairs a name with another's position.
    void jumpOntoASlowFileDecodesInTheBackground()
    {
        AppState state;
        state.setViewPixels(QSize(800, 600));
        state.openFile(m_files[0]);
        Titles titles(state);
        const quint64 onMainThread = imaging::detail::decodeCounts().onMainThread;
        QElapsedTimer took;
        took.start();
        state.goToImage(3);
        QCOMPARE_LT(took.elapsed(), 50);
        QCOMPARE(state.currentURL(), m_files[0]);
        QCOMPARE(state.windowTitle(), QStringLiteral("img1.png [1/4]"));
        QCOMPARE(state.targetIndex(), 3);

        QTRY_COMPARE_WITH_TIMEOUT(state.currentURL(), m_files[3], 20000);
        QCOMPARE(state.windowTitle(), QStringLiteral("img4.jpg [4/4]"));
        if (const auto& preview = state.currentPreview()) {
            QCOMPARE(preview->fullSize, QSize(4000, 3000));
            QVERIFY(preview->image.width() < 4000);
        }
        QTRY_VERIFY_WITH_TIMEOUT(state.currentImage().has_value(), 20000);
        QCOMPARE(state.currentImage()->size(), QSize(4000, 3000));
        QVERIFY(!state.currentPreview());
        QCOMPARE(imaging::detail::decodeCounts().onMainThread, onMainThread);
        for (const QString& title : std::as_const(titles.seen))
            QVERIFY2(titleIsTrue(title, m_files), qPrintable(title));
    }

    // A step while the large photo is on its way counts from it; the photo, called off, never
    // shows. A jump back to the shown file calls the decode off too.
    void stepsDuringTheDecodeCountFromTheFileOnItsWay()
    {
        AppState state;
        state.openFile(m_files[0]);
        state.goToImage(3);
        state.previousImage();
        QCOMPARE(state.currentURL(), m_files[2]);
        QCOMPARE(state.targetIndex(), 2);

        state.goToImage(3);
        state.goToImage(2);
        QCOMPARE(state.targetIndex(), 2);
        QTest::qWait(1500);
        QCOMPARE(state.currentURL(), m_files[2]);
        QCOMPARE(state.currentIndex(), 2);

        // Forward from the file on its way wraps to the first.
        state.nextImage();
        QCOMPARE(state.targetIndex(), 3);
        state.nextImage();
        QCOMPARE(state.currentURL(), m_files[0]);
        QTest::qWait(1500);
        QCOMPARE(state.currentURL(), m_files[0]);
    }

    // A file handed over while another is shown: the old one stays, title included, until the
    // new one's picture is at hand; then name and position change together.
    void handedOverSlowFileKeepsTheOldPictureMeanwhile()
    {
        QTemporaryDir other;
        const auto elsewhere = makeFolder(other, 5);
        AppState state;
        state.openFile(elsewhere[4]);
        Titles titles(state);
        state.openFile(m_files[3]);
        QCOMPARE(state.windowTitle(), QStringLiteral("img5.png [5/5]"));
        QVERIFY(state.currentImage());
        QTRY_COMPARE_WITH_TIMEOUT(state.windowTitle(), QStringLiteral("img4.jpg [4/4]"), 20000);
        QCOMPARE(titles.seen, QStringList{QStringLiteral("img4.jpg [4/4]")});
        QTRY_VERIFY_WITH_TIMEOUT(state.currentImage().has_value(), 20000);
        QCOMPARE(state.imageFiles(), m_files);
    }

    // Walking one way through large photos holds the neighbour behind only scaled down to the
    // view: two whole pictures in memory, not three. A step back shows it at once and its
    // whole picture follows; once a person turns back, comparing two photos, both neighbours
    // are held whole.
    void walkingHoldsTheNeighbourBehindScaledDown()
    {
        QTemporaryDir dir;
        QList<QUrl> photos;
        for (int i = 1; i <= 4; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.jpg").arg(i));
            QVERIFY(QFile::copy(m_files[3].toLocalFile(), path));
            photos.append(QUrl::fromLocalFile(path));
        }
        const QSize whole(4000, 3000);
        AppState state;
        state.setViewPixels(QSize(800, 600));
        state.openFile(photos[0]);
        QTRY_VERIFY_WITH_TIMEOUT(state.preloadedImages().contains(photos[1]), 20000);
        QTRY_COMPARE_WITH_TIMEOUT(TestAccess::heldScaledDown(state), QList<QUrl>{photos[3]}, 20000);
        QVERIFY(!state.preloadedImages().contains(photos[3]));

        state.nextImage();
        QCOMPARE(state.currentImage()->size(), whole);
        QVERIFY(!state.preloadedImages().contains(photos[0]));
        QTRY_COMPARE_WITH_TIMEOUT(TestAccess::heldScaledDown(state), QList<QUrl>{photos[0]}, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(state.preloadedImages().contains(photos[2]), 20000);

        const quint64 onMainThread = TestAccess::mainThreadDecodeCount();
        state.previousImage();
        QCOMPARE(state.currentURL(), photos[0]);
        QCOMPARE(state.windowTitle(), QStringLiteral("p1.jpg [1/4]"));
        QVERIFY(state.currentPreview());
        QCOMPARE(state.currentPreview()->fullSize, whole);
        // It covers the fitted view: nothing is drawn larger than it was decoded.
        QCOMPARE_GE(state.currentPreview()->image.width(), 800);
        QTRY_VERIFY_WITH_TIMEOUT(state.currentImage().has_value(), 20000);
        QCOMPARE(state.currentImage()->size(), whole);
        QCOMPARE(TestAccess::mainThreadDecodeCount(), onMainThread);

        QVERIFY(state.preloadedImages().contains(photos[1]));
        QTRY_VERIFY_WITH_TIMEOUT(state.preloadedImages().contains(photos[3]), 20000);
        QVERIFY(TestAccess::heldScaledDown(state).isEmpty());
        state.nextImage();
        QCOMPARE(state.currentImage()->size(), whole);
    }

    // One or ten back and forward, wrapping around (the keys' own test has more), a whole round
    // landing where it began; a step never applies the display mode. In a folder of one nothing
    // changes, the picture not even decoded again.
    void stepsWrapAround()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 25);
        AppState state;
        state.openFile(urls[2]);
        state.setZoomAction(std::nullopt);
        const QList<std::pair<qint64, qint64>> steps{{-10, 17}, {10, 2},  {-3, 24},
                                                     {1, 0},    {-1, 24}, {-25, 24}};
        for (const auto& [delta, expected] : steps) {
            state.stepBy(delta);
            QCOMPARE(state.currentIndex(), expected);
            QCOMPARE(state.currentURL(), urls[expected]);
            QCOMPARE(state.currentImage()->width(), 9 + expected);
        }
        QVERIFY(!state.zoomAction());
        QTemporaryDir single;
        const auto one = makeFolder(single, 1);
        state.openFile(one[0]);
        const qint64 key = state.currentImage()->cacheKey();
        state.nextImage();
        state.stepBy(-10);
        QCOMPARE(state.currentImage()->cacheKey(), key);
    }

    // Opened while its big folder is still being listed: the picture comes first under its
    // name alone, and the folder is put in order only once that picture is on screen; the
    // position follows, and is never a wrong one.
    void positionFollowsTheListing()
    {
        QTemporaryDir dir;
        constexpr int kCount = 4000;
        QList<QUrl> files;
        for (int i = 0; i < kCount; ++i) {
            const QString path = dir.filePath(QStringLiteral("p%1.png").arg(i, 4, 10, QChar('0')));
            QFile(path).open(QIODevice::WriteOnly);
            files.append(QUrl::fromLocalFile(path));
        }
        QVERIFY(savePicture(files[1234].toLocalFile(), 20));
        const EarlyListing listing(files[1234].toLocalFile());
        AppState state;
        Titles titles(state);
        state.openFile(files[1234]);
        QCOMPARE(state.currentImage()->width(), 20);
        QTest::qWait(300);
        QCOMPARE(state.windowTitle(), QStringLiteral("p1234.png"));
        state.releasePreloads(); // what the first frame on screen does
        QTRY_COMPARE_WITH_TIMEOUT(state.windowTitle(), QStringLiteral("p1234.png [1235/4000]"),
                                  500);
        QCOMPARE(state.imageFiles(), files);
        for (const QString& title : std::as_const(titles.seen))
            QVERIFY2(titleIsTrue(title, files), qPrintable(title));
    }
};

QTEST_MAIN(TestJumps)
#include "tst_jumps.moc"
