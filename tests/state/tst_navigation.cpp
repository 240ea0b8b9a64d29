#include "../support/TestAccess.h"
#include "../support/TestSupport.h"
#include "Folders.h"
#include "base/WorkPool.h"
#include "imaging/EarlyDecode.h"
#include "imaging/ImageService.h"
#include "imaging/colour/DisplayColour.h"
#include "state/AppState.h"

#include <QColorSpace>
#include <QSignalSpy>
#include <QTest>

namespace {

QSet<QUrl> cachedUrls(const AppState& state)
{
    const auto keys = state.preloadedImages().keys();
    return QSet<QUrl>(keys.begin(), keys.end());
}

} // namespace

class TestNavigation : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:

    // Opening lists the folder, shows the file unturned and asks for the fit; jumps onto the
    // current position or outside the folder change nothing.
    void openShowsFileListsFolderAndRequestsFit()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 5);
        AppState state;
        state.setRotation(90);
        state.openFile(urls[2]);
        QCOMPARE(state.currentImage()->width(), 11);
        QCOMPARE(state.rotation(), 0.0);
        QCOMPARE(state.imageFiles(), urls);
        QCOMPARE(state.currentIndex(), 2);
        QCOMPARE(state.zoomAction(), ZoomAction::fit);
        QCOMPARE(state.windowTitle(), QStringLiteral("img3.png [3/5]"));
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[1], urls[3]}));
        QSignalSpy moves(&state, &AppState::currentURLChanged);
        for (const qint64 index : {2, -1, 5})
            state.goToImage(index);
        QCOMPARE(moves.count(), 0);
        state.goToImage(4);
        QCOMPARE(state.currentURL(), urls[4]);
        QCOMPARE(state.currentIndex(), 4);
    }

    // A step takes the preloaded picture itself, decoding nothing here; the picture shown
    // before comes back as the new previous neighbour. A neighbour not at hand is decoded here.
    void steppingTakesThePreloadedImageWithoutDecodingHere()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 5);
        AppState state;
        state.openFile(urls[0]);
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[1], urls[4]}));
        const qint64 preloadedKey = state.preloadedImages().value(urls[1]).cacheKey();
        const quint64 before = TestAccess::mainThreadDecodeCount();
        state.nextImage();
        QCOMPARE(TestAccess::mainThreadDecodeCount(), before);
        QCOMPARE(state.currentImage()->cacheKey(), preloadedKey);
        QVERIFY(!state.preloadedImages().contains(urls[1]));
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[0], urls[2]}));

        state.setPreloadedImages({});
        state.nextImage();
        QCOMPARE(TestAccess::mainThreadDecodeCount(), before + 1);
        QCOMPARE(state.currentImage()->width(), 11);
    }

    // Held at start, neighbours are decoded once released, or when the hold runs out; a step
    // taken meanwhile still shows its photo.
    void heldPreloadsBeginOnRelease()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 5);
        AppState state;
        state.holdPreloads(60'000);
        state.openFile(urls[0]);
        QTest::qWait(50);
        QVERIFY(cachedUrls(state).isEmpty() && !state.isDecodingAhead(1));
        state.nextImage();
        QCOMPARE(state.currentURL(), urls[1]);
        state.releasePreloads();
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[0], urls[2]}));

        AppState timed;
        timed.holdPreloads(20);
        timed.openFile(urls[0]);
        QTRY_COMPARE(cachedUrls(timed), (QSet<QUrl>{urls[1], urls[4]}));
    }

    // At start the metadata is read once the picture is on screen, unless it is what is shown;
    // a file opened later has its rows at once.
    void startReadsMetadataAfterTheFirstFrame()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 3);
        AppState state;
        state.holdPreloads(60'000);
        state.openFile(urls[0]);
        QVERIFY(state.metadata().isEmpty());
        state.releasePreloads();
        QVERIFY(!state.metadata().isEmpty());
        state.openFile(urls[1]);
        QVERIFY(!state.metadata().isEmpty());
        // A step before the first frame reads its own rows, never the start's file's.
        AppState stepped;
        stepped.holdPreloads(60'000);
        stepped.openFile(urls[0]);
        stepped.nextImage();
        const MetadataRows rows = stepped.metadata();
        QVERIFY(!rows.isEmpty());
        stepped.releasePreloads();
        QCOMPARE(stepped.metadata(), rows);

        AppState shown;
        shown.setOverlayMode(OverlayMode::metadata);
        shown.holdPreloads(60'000);
        shown.openFile(urls[2]);
        QVERIFY(!shown.metadata().isEmpty());
        shown.setOverlayMode(OverlayMode::none);
    }

    // The photo decoded at start shows its preview until the whole picture follows by itself;
    // neighbours wait for the whole one. A copy meanwhile takes the whole picture, and a step
    // lets the early result go.
    void earlyPreviewGivesWayToTheWholePicture()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 3);
        const QString photo = dir.filePath(QStringLiteral("img0.jpg"));
        QVERIFY(savePicture(photo, 640, 480));
        const QUrl url = QUrl::fromLocalFile(photo);
        const auto window = [] { return QSize(160, 120); };
        {
            imaging::EarlyDecode early(photo, window);
            AppState state(&early);
            state.holdPreloads(60'000);
            state.openFile(url);
            QVERIFY(state.currentPreview() && !state.currentImage());
            QCOMPARE(state.currentPreview()->fullSize, QSize(640, 480));
            QCOMPARE(state.decodeFailure(), imaging::DecodeFailure::none);
            // The preview has been drawn: not yet.
            state.releasePreloads();
            QVERIFY(!state.isDecodingAhead(1));
            QTRY_VERIFY(state.currentImage());
            QCOMPARE(state.currentImage()->size(), QSize(640, 480));
            QVERIFY(!state.currentPreview());
            QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[0], urls[2]}));
        }
        {
            imaging::EarlyDecode early(photo, window);
            AppState state(&early);
            state.openFile(url);
            QVERIFY(state.currentPreview());
            state.copyImageToPasteboard();
            QVERIFY(!state.currentPreview() && state.currentImage());
            QCOMPARE(state.currentImage()->size(), QSize(640, 480));
        }
        {
            imaging::EarlyDecode early(photo, window);
            AppState state(&early);
            state.openFile(url);
            QVERIFY(state.currentPreview());
            state.nextImage();
            QVERIFY(!state.currentPreview());
            early.done().waitForFinished();
            QTest::qWait(50);
            QVERIFY(!early.takeResult(photo));
            QCOMPARE(state.currentURL(), urls[0]);
            QCOMPARE(state.currentImage()->size(), QSize(9, 8));
        }
    }

    // A step onto a neighbour still being decoded ahead waits for that decode instead of
    // beginning another; a file rewritten meanwhile is decoded afresh.
    void stepOntoANeighbourUnderWayTakesItsDecode()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 5);
        AppState state;
        base::preloadPool().waitForDone(); // no decode of an earlier test is still counted
        const quint64 before = TestAccess::decodeCount();
        state.openFile(urls[0]);
        // Both neighbours' decodes begin; no event is handled, so their results stay unread.
        for (int i = 0; i < 1000 && TestAccess::decodeCount() < before + 3; ++i)
            QThread::msleep(2);
        const quint64 onMain = TestAccess::mainThreadDecodeCount();
        state.nextImage();
        QCOMPARE(state.currentImage()->width(), 10);
        QCOMPARE(TestAccess::mainThreadDecodeCount(), onMain);

        QVERIFY(savePicture(urls[2].toLocalFile(), 40));
        state.nextImage();
        QCOMPARE(state.currentImage()->width(), 40);
    }

    // Reloaded after a rewrite, or in a new screen profile's colours (off this thread, the old
    // picture kept until then), the shown file keeps its turn; the copies decoded ahead from
    // the old file or in the old colours are replaced.
    void theShownFileDecodedAgainKeepsItsTurn()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 3);
        AppState state;
        state.openFile(urls[0]);
        QTRY_COMPARE(state.preloadedImages().size(), 2);
        state.setRotation(90);
        state.insertPreloadedImage(urls[0], QImage(1, 1, QImage::Format_RGB32));
        QVERIFY(savePicture(urls[0].toLocalFile(), 40, 30));
        state.reloadCurrentImage();
        QCOMPARE(state.currentImage()->size(), QSize(40, 30));
        QCOMPARE(state.rotation(), 90.0);
        QVERIFY(!state.preloadedImages().contains(urls[0]));

        const QRgb before = state.currentImage()->pixel(0, 0);
        const qint64 neighbour = state.preloadedImages().value(urls[1]).cacheKey();
        QSignalSpy changed(&state, &AppState::currentImageChanged);
        QVERIFY(imaging::setDisplayProfile(QColorSpace(QColorSpace::AdobeRgb).iccProfile()));
        state.redecodeForScreen();
        QCOMPARE(changed.count(), 0);
        QTRY_COMPARE(changed.count(), 1);
        QVERIFY(imaging::displayProfile()->holds(*state.currentImage()));
        QCOMPARE_NE(state.currentImage()->pixel(0, 0), before);
        QCOMPARE(state.rotation(), 90.0);
        QTRY_COMPARE(state.preloadedImages().size(), 2);
        QCOMPARE_NE(state.preloadedImages().value(urls[1]).cacheKey(), neighbour);
        QVERIFY(imaging::displayProfile()->holds(state.preloadedImages().value(urls[1])));

        // A step taken while the new colours are being decoded: the late picture is dropped.
        QVERIFY(imaging::setDisplayProfile(QColorSpace(QColorSpace::DisplayP3).iccProfile()));
        state.redecodeForScreen();
        state.nextImage();
        base::workPool().waitForDone();
        QTest::qWait(50);
        QCOMPARE(state.currentURL(), urls[1]);
        QCOMPARE(state.currentImage()->width(), 10);
        imaging::setDisplayProfile({});
    }

    // Late results from a folder left never enter the cache; in a folder of two, the other
    // image is both neighbours.
    void lateResultsFromAnotherFolderNeverEnterTheCache()
    {
        QTemporaryDir first, lonely, third;
        const auto a = makeFolder(first, 5);
        const auto b = makeFolder(lonely, 1);
        const auto c = makeFolder(third, 2);
        AppState state;
        state.openFile(a[0]);
        state.openFile(b[0]); // a one-image folder has no neighbours
        base::preloadPool().waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(state.preloadedImages().isEmpty());
        state.openFile(c[0]);
        QTRY_COMPARE(cachedUrls(state), QSet<QUrl>{c[1]});
        state.nextImage();
        QTRY_COMPARE(cachedUrls(state), QSet<QUrl>{c[0]});
    }

    void stepsAskedForTogetherBecomeOne_data()
    {
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<int>("landsOn");
        QTest::addColumn<int>("decodesHere");
        QTest::newRow("three ahead") << QList<int>{1, 1, 1} << 3 << 1;
        QTest::newRow("back past the start") << QList<int>{-1, -1} << 6 << 1;
        QTest::newRow("there and back") << QList<int>{1, -1} << 0 << 0;
        QTest::newRow("once round") << QList<int>{4, 4} << 0 << 0;
    }
    void stepsAskedForTogetherBecomeOne()
    {
        QFETCH(QList<int>, steps);
        QFETCH(int, landsOn);
        QFETCH(int, decodesHere);
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 8);
        AppState state;
        state.openFile(urls[0]);
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[1], urls[7]}));
        QSignalSpy moves(&state, &AppState::currentIndexChanged);
        const quint64 before = TestAccess::mainThreadDecodeCount();
        for (int step : steps)
            state.requestStep(step);
        // Nothing moves until the event loop turns; then only the last position is shown.
        QVERIFY(state.hasPendingStep());
        QCOMPARE(state.currentIndex(), 0);
        QTRY_VERIFY(!state.hasPendingStep());
        QCOMPARE(state.currentIndex(), landsOn);
        QCOMPARE(moves.size(), landsOn == 0 ? 0 : 1);
        QCOMPARE(state.currentURL(), urls[landsOn]);
        QCOMPARE(state.currentImage()->width(), 9 + landsOn);
        QCOMPARE(TestAccess::mainThreadDecodeCount(), before + decodesHere);
    }

    // A step tells of the new file once: one title, one picture, one change of the copies held,
    // the new picture decoded before anything tells of the new file.
    void aStepIsOneChangeOfEach()
    {
        QTemporaryDir dir;
        const auto urls = makeFolder(dir, 6);
        AppState state;
        state.openFile(urls[0]);
        QTRY_COMPARE(cachedUrls(state), (QSet<QUrl>{urls[1], urls[5]}));
        QSignalSpy titles(&state, &AppState::windowTitleChanged);
        QSignalSpy copies(&state, &AppState::preloadedImagesChanged);
        quint64 decodesAtTitle = 0;
        QList<QPair<QString, int>> seen;
        connect(&state, &AppState::windowTitleChanged, &state,
                [&] { decodesAtTitle = TestAccess::mainThreadDecodeCount(); });
        connect(&state, &AppState::currentImageChanged, &state, [&] {
            QCOMPARE(TestAccess::mainThreadDecodeCount(), decodesAtTitle);
            seen.append({state.currentURL()->fileName(), state.currentImage()->width()});
        });
        state.nextImage();
        QCOMPARE(titles.count(), 1);
        QCOMPARE(copies.count(), 1);
        QCOMPARE(cachedUrls(state), (QSet<QUrl>{urls[0]}));
        state.setPreloadedImages({});
        state.goToImage(4);
        state.previousImage();
        QCOMPARE(seen, (QList<QPair<QString, int>>{
                           {"img2.png", 10}, {"img5.png", 13}, {"img4.png", 12}}));
    }
};

QTEST_MAIN(TestNavigation)
#include "tst_navigation.moc"
