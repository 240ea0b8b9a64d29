#include "SurfaceHarness.h"
#include "ZoomTestSupport.h"

#include "zoom/FollowUpQueue.h"
#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"

#include <QEventLoop>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

using namespace zoomtest;

class TestZoomCoordinator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void zoomRequestsFollowTheTable_data();
    void zoomRequestsFollowTheTable();
    void actualSizeKeepsASmallImageCentred();
    void newImageWithActualSizeEndsAtThePreviousZoom();
    void steppingKeepsOrRefitsTheZoom_data();
    void steppingKeepsOrRefitsTheZoom();
    void sameImageAndRotationLeaveTheImageAlone();
    void scrollTargetsCentreThePoint();
    void reportsAreNormalisedAndFollowEveryChange();
    void clicksAndPinchReachTheLatestCallbacks();
    void followUpsRunInOrderAndNeverInsideEachOther();
};

void TestZoomCoordinator::zoomRequestsFollowTheTable_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<int>("action");
    QTest::addColumn<double>("expected");
    QTest::addColumn<bool>("fitMode");
    // 4000 × 3000 in 1000 × 800: the fitted magnification is 0.25.
    QTest::newRow("fit") << 2.0 << int(ZoomAction::fit) << 0.25 << true;
    QTest::newRow("actual size") << 0.25 << int(ZoomAction::actualSize) << 1.0 << false;
    QTest::newRow("zoom in") << 1.0 << int(ZoomAction::zoomIn) << 1.5 << false;
    QTest::newRow("zoom in to the maximum") << 15.0 << int(ZoomAction::zoomIn) << 20.0 << false;
    QTest::newRow("zoom out") << 1.5 << int(ZoomAction::zoomOut) << 1.0 << false;
    QTest::newRow("zoom out at the minimum") << 0.25 << int(ZoomAction::zoomOut) << 0.25 << false;
}

void TestZoomCoordinator::zoomRequestsFollowTheTable()
{
    QFETCH(double, start);
    QFETCH(int, action);
    QFETCH(double, expected);
    QFETCH(bool, fitMode);
    SurfaceHarness h;
    h.open(solidImage(4000, 3000));
    h.area()->setFitMode(action != int(ZoomAction::fit));
    h.area()->setMagnification(start);
    h.area()->scrollToPoint(h.area()->bounds().topLeft() + QPointF(1, 1));
    const QPointF centre = h.area()->bounds().center();
    const int consumedBefore = h.zoomConsumed;

    h.view.setZoomAction(ZoomAction(action));
    h.view.applyPendingChanges();
    QCOMPARE(h.area()->magnification(), expected);
    QCOMPARE(h.area()->isFitMode(), fitMode);
    // Consumed afterwards, never from inside the update step.
    QCOMPARE(h.zoomConsumed, consumedBefore);
    if (action != int(ZoomAction::fit) && expected > 1.0) {
        // The middle of the view stays on the same image point.
        QVERIFY(qAbs(h.area()->bounds().center().x() - centre.x()) < 1e-6);
        QVERIFY(qAbs(h.area()->bounds().center().y() - centre.y()) < 1e-6);
    }
    settle();
    QCOMPARE(h.zoomConsumed, consumedBefore + 1);
    QCOMPARE(h.states.last().magnification, expected);
    // Cleared by the receiver, so it is not performed again.
    h.view.setRotation(0.5);
    settle();
    QCOMPARE(h.zoomConsumed, consumedBefore + 1);
}

void TestZoomCoordinator::actualSizeKeepsASmallImageCentred()
{
    SurfaceHarness h;
    h.open(solidImage(400, 300));
    h.view.setZoomAction(ZoomAction::actualSize);
    settle();
    QCOMPARE(h.area()->magnification(), 1.0);
    QCOMPARE(h.area()->bounds(), QRectF(-300, -250, 1000, 800));
    QCOMPARE(h.states.last().visible, QRectF(0, 0, 1, 1));
}

void TestZoomCoordinator::newImageWithActualSizeEndsAtThePreviousZoom()
{
    SurfaceHarness h;
    h.open(solidImage(4000, 3000));
    h.area()->setFitMode(false);
    h.area()->setMagnification(3.0);
    // The request sets 100 % at once, but the image's follow-up, queued before it, restores the
    // magnification read before the change.
    h.view.setZoomAction(ZoomAction::actualSize);
    h.view.setImage(solidImage(2000, 1500, Qt::blue));
    settle();
    QCOMPARE(h.area()->magnification(), 3.0);
    QCOMPARE(h.view.imageView()->frameSize(), QSizeF(2000, 1500));
}

void TestZoomCoordinator::steppingKeepsOrRefitsTheZoom_data()
{
    QTest::addColumn<bool>("fitted");
    QTest::addColumn<double>("before");
    QTest::addColumn<double>("after");
    // The next image, 2000 × 1600, fits at 0.5.
    QTest::newRow("zoomed in stays") << false << 3.0 << 3.0;
    QTest::newRow("below the new fit") << false << 0.2 << 0.5;
    QTest::newRow("fit mode refits") << true << 0.2 << 0.5;
}

void TestZoomCoordinator::steppingKeepsOrRefitsTheZoom()
{
    QFETCH(bool, fitted);
    QFETCH(double, before);
    QFETCH(double, after);
    SurfaceHarness h;
    h.open(solidImage(5000, 4000));
    h.area()->setFitMode(fitted);
    h.area()->setMagnification(before);
    h.view.setImage(solidImage(2000, 1600, Qt::blue));
    settle();
    QCOMPARE(h.area()->magnification(), after);
    QCOMPARE(h.area()->isFitMode(), fitted);
    QCOMPARE(h.states.last().magnification, after);
}

void TestZoomCoordinator::sameImageAndRotationLeaveTheImageAlone()
{
    SurfaceHarness h;
    const QImage image = solidImage(4000, 3000);
    h.open(image);
    h.area()->setFitMode(false);
    h.area()->setMagnification(2.0);
    const qint64 shown = h.view.imageView()->image().cacheKey();

    // A copy shares the image's identity; other inputs change.
    h.view.setImage(QImage(image));
    h.view.setAutoSizeWindow(false);
    h.view.setOnDoubleClick([] {});
    settle();
    QCOMPARE(h.view.imageView()->image().cacheKey(), shown);
    QCOMPARE(h.area()->magnification(), 2.0);
    QVERIFY(!h.view.imageView()->isFading());

    // A new image fades in.
    h.view.setImage(solidImage(4000, 3000, Qt::red));
    settle();
    QVERIFY(h.view.imageView()->isFading());
}

void TestZoomCoordinator::scrollTargetsCentreThePoint()
{
    SurfaceHarness h;
    h.open(solidImage(4000, 3000));
    h.area()->setFitMode(false);
    h.area()->setMagnification(1.0);
    settle();
    const QSizeF visible = h.area()->bounds().size();

    h.view.setScrollTarget(QPointF(0.5, 0.5));
    h.view.applyPendingChanges();
    QCOMPARE(h.area()->bounds().center(), QPointF(2000, 1500));
    QCOMPARE(h.scrollConsumed, 0);
    settle();
    QCOMPARE(h.scrollConsumed, 1);
    const QRectF reported = h.states.last().visible;
    QCOMPARE(reported.center(), QPointF(0.5, 0.5));

    // The bottom-left corner asked for the middle ends in the bottom-left of the view.
    h.view.setScrollTarget(QPointF(0, 0));
    settle();
    QCOMPARE(h.area()->bounds(), QRectF(QPointF(0, 0), visible));
    QCOMPARE(h.scrollConsumed, 2);

    // A wholly visible image stays centred.
    h.view.setZoomAction(ZoomAction::fit);
    h.view.setScrollTarget(QPointF(1, 1));
    settle();
    QCOMPARE(h.area()->bounds().center(), QPointF(2000, 1500));
}

void TestZoomCoordinator::reportsAreNormalisedAndFollowEveryChange()
{
    SurfaceHarness h;
    h.open(solidImage(4000, 600));
    QCOMPARE(h.states.last().magnification, 0.25);
    QCOMPARE(h.states.last().visible, QRectF(0, 0, 1, 1));

    h.area()->setFitMode(false);
    h.area()->setMagnification(1.0);
    settle();
    const auto& last = h.states.last();
    QCOMPARE(last.magnification, 1.0);
    QCOMPARE(last.visible.width(), h.area()->bounds().width() / 4000);
    QCOMPARE(last.visible.height(), 1.0);
    QCOMPARE(last.visible.y(), 0.0);

    // Each scroll step reports.
    const qsizetype before = h.states.size();
    h.area()->horizontalScrollBar()->setValue(100);
    QCOMPARE(h.states.size(), before + 1);
    QCOMPARE(h.states.last().visible.x(), 100.0 / 4000);
}

void TestZoomCoordinator::clicksAndPinchReachTheLatestCallbacks()
{
    SurfaceHarness h;
    h.open(solidImage(4000, 3000));
    click(h.view.imageView(), {750, 400});
    QCOMPARE(h.clicks, QStringList{"next"});

    QStringList latest;
    h.view.setOnNavigateClick([&latest](bool next) { latest << (next ? "next" : "previous"); });
    settle();
    click(h.view.imageView(), {250, 400});
    QCOMPARE(latest, QStringList{"previous"});

    // A pinch leaves fit mode when it starts and reports once more when it ends.
    pinch(h.view.imageView(), Qt::ZoomNativeGesture, -0.1, {500, 400});
    QVERIFY(!h.area()->isFitMode());
    QCOMPARE(h.area()->magnification(), 0.25);
    const qsizetype before = h.states.size();
    pinch(h.view.imageView(), Qt::EndNativeGesture, 0, {500, 400});
    QCOMPARE(h.states.size(), before + 1);
}

void TestZoomCoordinator::followUpsRunInOrderAndNeverInsideEachOther()
{
    FollowUpQueue queue;
    QStringList log;
    queue.post([&] {
        log << "first begins";
        // Posted from inside: runs after everything queued before it.
        queue.post([&] { log << "fourth"; });
        // A nested event loop must not start the next piece.
        QEventLoop loop;
        QTimer::singleShot(30, &loop, &QEventLoop::quit);
        loop.exec();
        log << "first ends";
    });
    queue.post([&] { log << "second"; });
    queue.post([&] { log << "third"; });
    QCOMPARE(log, QStringList());
    QTRY_VERIFY(queue.isEmpty());
    settle();
    QCOMPARE(log, (QStringList{"first begins", "first ends", "second", "third", "fourth"}));
}

QTEST_MAIN(TestZoomCoordinator)
#include "tst_zoomcoordinator.moc"
