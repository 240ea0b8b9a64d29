#include "../support/TestSupport.h"
#include "state/AppState.h"
#include "../support/TestAccess.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>
#include <QWindow>

#include <sys/stat.h>
#include <utility>

using testsupport::settings;

class TestAppState : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_config;

private Q_SLOTS:
    void init() { settings().clear(); }

    void storedPreferencesRoundTrip()
    {
        // A first launch stores only the thumbnail preference.
        {
            AppState state;
            QCOMPARE(state.displayMode(), DisplayMode::fitToWindow);
            QCOMPARE(state.overlayMode(), OverlayMode::none);
            QCOMPARE(settings().allKeys(), QStringList{"showThumbnailBar"});
            QCOMPARE(settings().value("showThumbnailBar").toBool(), false);
            // Assigning the held value writes it but does not notify.
            state.setOverlayMode(OverlayMode::metadata);
            settings().remove("overlayMode");
            QSignalSpy spy(&state, &AppState::overlayModeChanged);
            state.setOverlayMode(OverlayMode::metadata);
            QCOMPARE(spy.count(), 0);
            QCOMPARE(settings().value("overlayMode").toString(), "metadata");
            state.setDisplayMode(DisplayMode::autoSizeWindow);
        }
        AppState reopened;
        QCOMPARE(reopened.displayMode(), DisplayMode::autoSizeWindow);
        QCOMPARE(reopened.overlayMode(), OverlayMode::metadata);
        // Texts match exactly; unknown text is left as the user's store had it.
        settings().setValue("displayMode", "ActualSize");
        settings().setValue("overlayMode", "histogram");
        settings().setValue("showThumbnailBar", true);
        AppState state;
        QCOMPARE(state.displayMode(), DisplayMode::fitToWindow);
        QCOMPARE(state.overlayMode(), OverlayMode::histogram);
        QCOMPARE(state.showThumbnailBar(), true);
        QCOMPARE(settings().value("displayMode").toString(), "ActualSize");
        // Starting with every preference stored leaves the file as it was: no rewrite.
        settings().sync();
        const auto written = [] {
            struct stat info {};
            ::stat(QFile::encodeName(settings().fileName()).constData(), &info);
            return std::pair(info.st_mtim.tv_sec, info.st_mtim.tv_nsec);
        };
        const auto before = written();
        QTest::qWait(5);
        delete new AppState;
        QCOMPARE(written(), before);
    }

    void notifiesOnlyOnChange()
    {
        AppState state;
        QSignalSpy rect(&state, &AppState::visibleRectChanged);
        QSignalSpy zoom(&state, &AppState::zoomActionChanged);
        QSignalSpy rows(&state, &AppState::metadataChanged);
        QSignalSpy image(&state, &AppState::currentImageChanged);
        QSignalSpy cache(&state, &AppState::preloadedImagesChanged);
        state.setVisibleRect(QRectF(0, 0, 1, 1)); // equal to the initial rectangle
        state.setVisibleRect(QRectF(0.1, 0, 0.5, 1));
        state.setZoomAction(ZoomAction::fit);
        state.setZoomAction(ZoomAction::fit);
        state.setZoomAction(std::nullopt);
        state.setMetadata({}); // rows notify on every assignment, even of equal rows
        state.setMetadata({});
        // Images compare by identity, not pixels.
        QImage a(4, 4, QImage::Format_RGB32);
        a.fill(Qt::red);
        state.setCurrentImage(a);
        state.setCurrentImage(a);
        state.setCurrentImage(a.copy());
        state.setCurrentImage(std::nullopt);
        const QUrl u = QUrl::fromLocalFile(QStringLiteral("/tmp/b.png"));
        state.insertPreloadedImage(u, a);
        state.setPreloadedImages({{u, a}});
        QCOMPARE(state.takePreloadedImage(u)->cacheKey(), a.cacheKey());
        QVERIFY(!state.takePreloadedImage(u));
        const QList<qsizetype> counts{rect.count(), zoom.count(), rows.count(), image.count(),
                                      cache.count()};
        QCOMPARE(counts, (QList<qsizetype>{1, 2, 2, 3, 2}));
    }

    void windowTitleCountsFromTheIndex()
    {
        // The one-file and empty titles are checked with real folders.
        AppState state;
        QList<QUrl> twelve;
        for (int i = 0; i < 12; ++i)
            twelve.append(QUrl::fromLocalFile(QStringLiteral("/pics/name%1.ext").arg(i)));
        state.setImageFiles(twelve);
        state.setCurrentURL(QUrl::fromLocalFile(QStringLiteral("/pics/name.ext")));
        QCOMPARE(state.windowTitle(), QStringLiteral("name.ext [1/12]"));
        QSignalSpy spy(&state, &AppState::windowTitleChanged);
        state.setCurrentIndex(2);
        QCOMPARE(state.windowTitle(), QStringLiteral("name.ext [3/12]"));
        QCOMPARE(spy.count(), 1);
    }

    void applyDisplayModeRequestsZoom()
    {
        AppState state;
        state.applyDisplayMode();
        QCOMPARE(state.zoomAction(), ZoomAction::fit);
        state.setZoomAction(std::nullopt);
        state.setDisplayMode(DisplayMode::actualSize);
        QVERIFY(!state.zoomAction()); // assigning the mode alone requests nothing
        state.applyDisplayMode();
        QCOMPARE(state.zoomAction(), ZoomAction::actualSize);
        state.setDisplayMode(DisplayMode::autoSizeWindow);
        state.applyDisplayMode();
        QCOMPARE(state.zoomAction(), ZoomAction::actualSize);
    }

    void statusBarCountdown()
    {
        AppState state;
        TestAccess::setStatusBarHideDelay(state, 150);
        QVERIFY(state.showStatusBar() && !TestAccess::isHideCountdownActive(state));
        state.showStatusBarTemporarily();
        QTest::qWait(100);
        state.showStatusBarTemporarily(); // restart keeps it up past the first deadline
        QTest::qWait(100);
        QVERIFY(state.showStatusBar());
        QTRY_VERIFY_WITH_TIMEOUT(!state.showStatusBar(), 1000);
        state.showStatusBarTemporarily(); // a movement during the fade-out shows it again
        QVERIFY(state.showStatusBar() && TestAccess::isHideCountdownActive(state));
    }

    void pointerMovementShowsStatusBar()
    {
        auto* state = new AppState;
        TestAccess::setStatusBarHideDelay(*state, 10000);
        QWidget window;
        window.resize(200, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // A drag (panning, say) is not the pointer coming back: it shows nothing.
        QWindow* handle = window.windowHandle();
        QTest::mouseMove(handle, QPoint(20, 20));
        QCoreApplication::processEvents();
        state->setShowStatusBar(false);
        QTest::mousePress(handle, Qt::LeftButton, {}, QPoint(20, 20));
        QTest::mouseMove(handle, QPoint(40, 40));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, QPoint(40, 40));
        QCoreApplication::processEvents();
        QVERIFY(!state->showStatusBar());
        QTest::mouseMove(handle, QPoint(50, 50));
        QTRY_VERIFY(state->showStatusBar() && TestAccess::isHideCountdownActive(*state));
        delete state; // movements must reach nothing once the model is gone
        QTest::mouseMove(&window, QPoint(60, 60));
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TestAppState)
#include "tst_appstate.moc"
