#include "state/AppState.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QWindow>

class TestAppState : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

    QSettings store() { return QSettings(QStringLiteral("Pelu"), QStringLiteral("Pelu")); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_config.isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void init() { store().clear(); }

    void firstLaunchWritesOnlyTheThumbnailPreference()
    {
        AppState state;
        QCOMPARE(state.displayMode(), DisplayMode::fitToWindow);
        QCOMPARE(state.overlayMode(), OverlayMode::none);
        QCOMPARE(state.showThumbnailBar(), false);
        QSettings s = store();
        QVERIFY(s.contains(QStringLiteral("showThumbnailBar")));
        QCOMPARE(s.value(QStringLiteral("showThumbnailBar")).toBool(), false);
        QVERIFY(!s.contains(QStringLiteral("displayMode")));
        QVERIFY(!s.contains(QStringLiteral("overlayMode")));
    }

    void storedTextsAreMatchedExactly()
    {
        {
            QSettings s = store();
            s.setValue(QStringLiteral("displayMode"), QStringLiteral("ActualSize"));
            s.setValue(QStringLiteral("overlayMode"), QStringLiteral("histogram"));
            s.setValue(QStringLiteral("showThumbnailBar"), true);
        }
        AppState state;
        QCOMPARE(state.displayMode(), DisplayMode::fitToWindow);
        QCOMPARE(state.overlayMode(), OverlayMode::histogram);
        QCOMPARE(state.showThumbnailBar(), true);
        // Unknown text is left as the user's store had it.
        QCOMPARE(store().value(QStringLiteral("displayMode")).toString(),
                 QStringLiteral("ActualSize"));
    }

    void assigningTheHeldValueWritesButDoesNotNotify()
    {
        AppState state;
        state.setOverlayMode(OverlayMode::metadata);
        store().remove(QStringLiteral("overlayMode"));
        QSignalSpy spy(&state, &AppState::overlayModeChanged);
        state.setOverlayMode(OverlayMode::metadata);
        QCOMPARE(spy.count(), 0);
        QCOMPARE(store().value(QStringLiteral("overlayMode")).toString(),
                 QStringLiteral("metadata"));

        state.setDisplayMode(DisplayMode::autoSizeWindow);
        AppState reopened;
        QCOMPARE(reopened.displayMode(), DisplayMode::autoSizeWindow);
        QCOMPARE(reopened.overlayMode(), OverlayMode::metadata);
    }

    void notifiesOnlyOnChange()
    {
        AppState state;
        QSignalSpy rect(&state, &AppState::visibleRectChanged);
        QSignalSpy zoom(&state, &AppState::zoomActionChanged);
        QSignalSpy rows(&state, &AppState::metadataChanged);
        state.setVisibleRect(QRectF(0, 0, 1, 1)); // equal to the initial rectangle
        state.setVisibleRect(QRectF(0.1, 0, 0.5, 1));
        state.setZoomAction(ZoomAction::fit);
        state.setZoomAction(ZoomAction::fit);
        state.setZoomAction(std::nullopt);
        // Rows notify on every assignment, even of equal rows.
        state.setMetadata({});
        state.setMetadata({});
        QCOMPARE(rect.count(), 1);
        QCOMPARE(zoom.count(), 2);
        QCOMPARE(rows.count(), 2);
    }

    void imagesCompareByIdentityNotPixels()
    {
        AppState state;
        QImage a(4, 4, QImage::Format_RGB32);
        a.fill(Qt::red);
        QImage twin = a.copy(); // same pixels, another image
        QSignalSpy spy(&state, &AppState::currentImageChanged);
        state.setCurrentImage(a);
        state.setCurrentImage(a);
        QCOMPARE(spy.count(), 1);
        state.setCurrentImage(twin);
        QCOMPARE(spy.count(), 2);
        state.setCurrentImage(std::nullopt);
        QCOMPARE(spy.count(), 3);

        QSignalSpy cache(&state, &AppState::preloadedImagesChanged);
        const QUrl u = QUrl::fromLocalFile(QStringLiteral("/tmp/b.png"));
        state.insertPreloadedImage(u, a);
        state.setPreloadedImages({{u, a}});
        QCOMPARE(cache.count(), 1);
        auto taken = state.takePreloadedImage(u);
        QVERIFY(taken);
        QCOMPARE(taken->cacheKey(), a.cacheKey());
        QCOMPARE(cache.count(), 2);
        QVERIFY(!state.takePreloadedImage(u));
    }

    void windowTitle()
    {
        AppState state;
        QSignalSpy spy(&state, &AppState::windowTitleChanged);
        QCOMPARE(state.windowTitle(), QStringLiteral("Pelú"));
        const QUrl single = QUrl::fromLocalFile(QStringLiteral("/pics/single.png"));
        state.setCurrentURL(single);
        state.setImageFiles({single});
        QCOMPARE(state.windowTitle(), QStringLiteral("single.png"));

        QList<QUrl> twelve;
        for (int i = 0; i < 12; ++i)
            twelve.append(QUrl::fromLocalFile(QStringLiteral("/pics/name%1.ext").arg(i)));
        state.setImageFiles(twelve);
        state.setCurrentURL(QUrl::fromLocalFile(QStringLiteral("/pics/name.ext")));
        QCOMPARE(state.windowTitle(), QStringLiteral("name.ext [1/12]"));
        state.setCurrentIndex(2);
        QCOMPARE(state.windowTitle(), QStringLiteral("name.ext [3/12]"));
        QVERIFY(spy.count() >= 4);
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
        state.setStatusBarHideDelay(150);
        QVERIFY(state.showStatusBar());
        QVERIFY(!state.isHideCountdownActive()); // shown with no countdown at start

        state.showStatusBarTemporarily();
        QTest::qWait(100);
        state.showStatusBarTemporarily(); // restart keeps it up past the first deadline
        QTest::qWait(100);
        QVERIFY(state.showStatusBar());
        QTRY_VERIFY_WITH_TIMEOUT(!state.showStatusBar(), 1000);

        // A movement during the fade-out shows it again.
        state.showStatusBarTemporarily();
        QVERIFY(state.showStatusBar());
        QVERIFY(state.isHideCountdownActive());
    }

    void pointerMovementShowsStatusBar()
    {
        auto* state = new AppState;
        QVERIFY(state->hasPointerMonitor());
        state->setStatusBarHideDelay(10000);
        state->setShowStatusBar(false);
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
        QTRY_VERIFY(state->showStatusBar());
        QVERIFY(state->isHideCountdownActive());

        // Once the model is gone, movements must reach nothing.
        delete state;
        QTest::mouseMove(&window, QPoint(60, 60));
        QCoreApplication::processEvents();
    }
};

QTEST_MAIN(TestAppState)
#include "tst_appstate.moc"
