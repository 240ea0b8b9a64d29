#include "../support/TestAccess.h"
#include "../support/TestSupport.h"
#include "state/AppState.h"

#include <QFile>
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
        // A first launch stores only the thumbnail preference, once its first picture is on
        // screen (or as the model goes, if none ever is); nothing before.
        {
            AppState state;
            QCOMPARE(state.displayMode(), DisplayMode::fitToWindow);
            QCOMPARE(state.overlayMode(), OverlayMode::none);
            QCOMPARE(state.showThumbnailBar(), false);
            QVERIFY(!QFile::exists(settings().fileName()));
            state.releasePreloads();
            QCOMPARE(settings().allKeys(), QStringList{"showThumbnailBar"});
            QCOMPARE(settings().value("showThumbnailBar").toBool(), false);
            state.setOverlayMode(OverlayMode::metadata);
            state.setDisplayMode(DisplayMode::autoSizeWindow);
        }
        settings().clear();
        delete new AppState;
        QCOMPARE(settings().allKeys(), QStringList{"showThumbnailBar"});
        settings().setValue("displayMode", "autoSizeWindow");
        settings().setValue("overlayMode", "metadata");
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
