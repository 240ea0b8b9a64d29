#include "ZoomTestSupport.h"

using namespace zoomtest;

namespace {

QImage checkerboard(int width, int height)
{
    QImage image = solidImage(width, height, Qt::black);
    QPainter(&image).fillRect(image.rect(), QBrush(Qt::white, Qt::Dense4Pattern));
    return image;
}

} // namespace

// The scroll area and the image view of a 1000 × 800 surface. 4000 × 3000 fits at 0.25 and
// covers (0, 25)–(1000, 775).
class TestZoomViews : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Fitted without enlarging, centred; refitted on a resize only in fit mode, and not while
    // the window is being auto-sized.
    void fitsWithoutEnlargingAndRefitsOnlyInFitMode()
    {
        SurfaceHarness small(twoToneImage(400, 300)); // at 100 %, pixel-exact, equal margins
        QCOMPARE(small.area()->minMagnification(), 1.0);
        const QImage shot = small.image()->grab().toImage();
        QCOMPARE(shot.pixel(299, 250), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(300, 250), qRgb(255, 0, 0));
        QCOMPARE(shot.pixel(699, 549), qRgb(0, 0, 255));
        QCOMPARE(shot.pixel(700, 550), qRgb(0, 0, 0));
        SurfaceHarness h(solidImage(4000, 1000));
        QCOMPARE(h.area()->magnification(), 0.25);
        QCOMPARE(h.area()->bounds(), QRectF(0, -1100, 4000, 3200));
        h.area()->setAutoSizing(true);
        h.area()->resize(500, 400);
        QCOMPARE(h.area()->minMagnification(), 0.125);
        QCOMPARE(h.area()->magnification(), 0.25);
        h.area()->setAutoSizing(false);
        h.area()->resize(800, 600);
        QCOMPARE(h.area()->magnification(), 0.2);
        h.area()->setFitMode(false);
        h.area()->resize(500, 400);
        QCOMPARE(h.area()->magnification(), 0.2);
    }

    void wheelZooms_data()
    {
        // 0.25 is the fitted view, and the wheel is in fit mode exactly there.
        QTest::addColumn<double>("start");
        QTest::addColumn<QPoint>("angle");
        QTest::addColumn<QPoint>("pixels");
        QTest::addColumn<double>("expected");
        QTest::newRow("notch in") << 1.0 << QPoint(0, 120) << QPoint() << 1.1;
        QTest::newRow("notch out") << 1.0 << QPoint(0, -120) << QPoint() << 0.9;
        QTest::newRow("touchpad") << 1.0 << QPoint(0, 120) << QPoint(0, 1) << 1.005;
        QTest::newRow("sideways") << 1.0 << QPoint(120, 0) << QPoint() << 1.0;
        QTest::newRow("touchpad sideways") << 1.0 << QPoint() << QPoint(8, 0) << 1.0;
        QTest::newRow("at the maximum") << 20.0 << QPoint(0, 120) << QPoint() << 20.0;
        QTest::newRow("near the maximum") << 19.0 << QPoint(0, 240) << QPoint() << 20.0;
        QTest::newRow("out of the fit") << 0.25 << QPoint(0, 120) << QPoint() << 0.275;
        QTest::newRow("down to the fit") << 0.3 << QPoint(0, -360) << QPoint() << 0.25;
    }
    void wheelZooms()
    {
        QFETCH(double, start);
        QFETCH(QPoint, angle);
        QFETCH(QPoint, pixels);
        QFETCH(double, expected);
        SurfaceHarness h(solidImage(4000, 3000));
        if (start != 0.25)
            h.zoomTo(start);
        settle();
        const qsizetype reports = h.states.size();
        wheel(h.image(), {200, 150}, angle, pixels);
        QCOMPARE(h.area()->magnification(), expected);
        QCOMPARE(h.area()->isFitMode(), expected == 0.25);
        // The wheel never scrolls: nothing moves, so nothing is reported, unless it zoomed.
        QCOMPARE(h.states.size() == reports, expected == start);
    }

    void zoomHoldsTheGrabbedPointUnderThePointer_data()
    {
        // 3000 × 4000 fits at 0.2, 600 points wide and centred; from 0.34 on it covers the
        // width of the view too. A step is a wheel notch, or a pinch of a tenth, in or out.
        QTest::addColumn<double>("start"); // 0: fitted
        QTest::addColumn<QPointF>("pointer");
        QTest::addColumn<QList<int>>("steps");
        QTest::addColumn<bool>("pinch");
        const QPointF p(650, 300);
        QTest::newRow("twelve notches") << 0.0 << p << QList<int>(12, 1) << false;
        QTest::newRow("near the corner") << 0.0 << QPointF(790, 20) << QList<int>(40, 1) << false;
        QTest::newRow("zoomed") << 1.0 << QPointF(200, 150) << QList<int>(12, 1) << false;
        QTest::newRow("out and in") << 0.5 << p << (QList<int>(5, -1) << QList<int>(8, 1)) << false;
        QTest::newRow("to the maximum") << 15.0 << QPointF(900, 700) << QList<int>(5, 1) << false;
        QTest::newRow("pinch") << 0.0 << p << QList<int>(10, 1) << true;
    }
    void zoomHoldsTheGrabbedPointUnderThePointer()
    {
        QFETCH(double, start);
        QFETCH(QPointF, pointer);
        QFETCH(QList<int>, steps);
        QFETCH(bool, pinch);
        SurfaceHarness h(solidImage(3000, 4000));
        if (start > 0) {
            h.zoomTo(start);
            h.area()->scrollToPoint({1000, 1500});
        }
        const QPointF grabbed = h.area()->mapToDocument(pointer);
        for (int step : steps) {
            if (pinch)
                zoomtest::pinch(h.image(), Qt::ZoomNativeGesture, 0.1 * step, pointer);
            else
                wheel(h.image(), pointer, {0, 120 * step});
        }
        // Where the picture is narrower than the view it stays centred; on every axis it
        // covers, the grabbed point is back under the pointer, within a pixel on screen.
        const double m = h.area()->magnification();
        const QPointF drift = (h.area()->mapToDocument(pointer) - grabbed) * m;
        QVERIFY(3000 * m >= 1000 || start == 0);
        if (3000 * m >= 1000)
            QVERIFY2(qAbs(drift.x()) < 1, qPrintable(QString::number(drift.x())));
        if (4000 * m >= 800)
            QVERIFY2(qAbs(drift.y()) < 1, qPrintable(QString::number(drift.y())));
        // A notch after the view or the pointer moved grabs anew.
        for (const QPointF at : {pointer, pointer + QPointF(-50, 50)}) {
            if (at == pointer)
                h.area()->scrollToPoint(h.area()->bounds().topLeft() + QPointF(0, 50));
            const QPointF under = h.area()->mapToDocument(at);
            wheel(h.image(), at, {0, 120});
            if (h.area()->magnification() < 20 && 3000 * m >= 1000 && 4000 * m >= 800)
                QVERIFY((h.area()->mapToDocument(at) - under).manhattanLength() < 1e-3);
        }
    }

    void resizeKeepsTheCentreOfAZoomedPicture()
    {
        SurfaceHarness h(solidImage(4000, 3000));
        h.zoomTo(1.0);
        h.area()->scrollToPoint({1200, 900});
        const QPointF centre = h.area()->bounds().center();
        for (const QSize size : {QSize(600, 500), QSize(1200, 900), QSize(1000, 800)}) {
            h.view.resize(size);
            QCOMPARE(h.area()->bounds().center(), centre);
            QCOMPARE(h.states.last().visible.center(),
                     QPointF(centre.x() / 4000, centre.y() / 3000));
        }
        // Against an edge the picture stays inside the view.
        h.area()->scrollToPoint({0, 0});
        h.view.resize(600, 500);
        QCOMPARE(h.area()->bounds().topLeft(), QPointF(200, 150));
        h.view.resize(1000, 800);
        QCOMPARE(h.area()->bounds().topLeft(), QPointF(0, 0));
    }

    void overlayBarsFollowAndMoveTheBounds()
    {
        SurfaceHarness h(solidImage(4000, 3000, Qt::red));
        OverlayScrollBar* across = TestAccess::horizontalBar(*h.area());
        OverlayScrollBar* down = TestAccess::verticalBar(*h.area());
        QVERIFY(!across->isVisible() && !down->isVisible());
        h.zoomTo(1.0);
        QVERIFY(across->isVisible() && down->isVisible());
        QCOMPARE(TestAccess::spanLength(*across), 1000.0 / 4000);
        QCOMPARE(TestAccess::spanLength(*down), 800.0 / 3000);
        // No room is kept for the bars: the picture reaches every edge, red under the bars.
        QCOMPARE(h.image()->size(), h.view.size());
        const QImage shot = h.view.grab().toImage();
        for (const QPoint& corner : {QPoint(999, 799), QPoint(999, 0), QPoint(0, 799)}) {
            const QColor c = shot.pixelColor(corner);
            QVERIFY(c.red() > 150 && c.green() < 100 && c.blue() < 100);
        }
        // Dragging the horizontal thumb scrolls by its grab point...
        h.area()->scrollToPoint({0, 0});
        const double room = 0.75 * (across->rect().width() - 4);
        mouse(across, QEvent::MouseButtonPress, {10, 5});
        mouse(across, QEvent::MouseMove, {10 + room * 0.5, 5});
        mouse(across, QEvent::MouseButtonRelease, {10 + room * 0.5, 5});
        QCOMPARE(h.area()->bounds().x(), 0.5 * (4000 - 1000));
        QCOMPARE(h.states.last().visible.x(), 0.375);
        // ...and a click on the vertical track brings the thumb there; it counts from the top.
        mouse(down, QEvent::MouseButtonPress, {5, 2});
        mouse(down, QEvent::MouseButtonRelease, {5, 2});
        QCOMPARE(h.area()->bounds().bottom(), 3000.0);
        wheel(down, {5, 5}, {0, -120}); // zooms instead of scrolling
        QCOMPARE(h.area()->magnification(), 0.9);
        // They fade after the last movement, and never show on a fitted image.
        TestAccess::setHideDelay(*across, 10);
        TestAccess::setHideDelay(*down, 10);
        wheel(h.image(), {500, 400}, {0, 120});
        QTRY_VERIFY(!across->isVisible() && !down->isVisible());
        h.view.setZoomAction(ZoomAction::fit);
        settle();
        QVERIFY(!across->isVisible() && !down->isVisible());
    }

    void pinchLeavesTheFitAndReportsAtItsEnd()
    {
        SurfaceHarness h(solidImage(4000, 3000));
        auto gesture = [&](Qt::NativeGestureType type, double value) {
            pinch(h.image(), type, value, {500, 400});
        };
        for (int round = 0; round < 2; ++round) { // the end readies the next gesture's start
            h.view.setZoomAction(ZoomAction::fit);
            settle();
            gesture(Qt::BeginNativeGesture, 0);
            gesture(Qt::ZoomNativeGesture, 0.5);
            gesture(Qt::ZoomNativeGesture, 1.0);
            QCOMPARE(h.area()->magnification(), 0.25 * 1.5 * 2.0);
            QVERIFY(!h.area()->isFitMode());
            const qsizetype reports = h.states.size();
            gesture(Qt::EndNativeGesture, 0);
            QCOMPARE(h.states.size(), reports + 1);
        }
        gesture(Qt::ZoomNativeGesture, -0.99); // stops at the limit
        QCOMPARE(h.area()->magnification(), 0.25);
    }

    void clicksStepOnlyOnAFittedImage_data()
    {
        QTest::addColumn<QPointF>("at");
        QTest::addColumn<QPointF>("moved"); // between press and release
        QTest::addColumn<bool>("fitted");
        QTest::addColumn<bool>("triple"); // then a double click and a third click
        QTest::addColumn<QStringList>("calls");
        auto row = [](const char* name, QPointF at, QPointF moved, bool fitted, bool triple,
                      const QStringList& calls) {
            QTest::newRow(name) << at << moved << fitted << triple << calls;
        };
        row("right half", {750, 400}, {}, true, false, {"next"});
        row("exact middle", {500, 400}, {}, true, false, {"previous"});
        row("right edge", {1000, 30}, {}, true, false, {"next"});
        row("moved 3 points", {500, 400}, {3, 3}, true, false, {"next"});
        row("dragged 3.5 points", {500, 400}, {3.5, 0}, true, false, {});
        row("zoomed", {750, 400}, {}, false, false, {});
        row("margin", {750, 10}, {}, true, false, {});
        // The double click undoes the step and asks for the fit; the third is a new first click.
        row("triple", {750, 400}, {}, true, true, {"next", "previous", "double", "next"});
        row("triple when zoomed", {250, 400}, {}, false, true, {"double"});
        row("triple on the margin", {750, 10}, {}, true, true, {});
    }
    void clicksStepOnlyOnAFittedImage()
    {
        QFETCH(QPointF, at);
        QFETCH(QPointF, moved);
        QFETCH(bool, fitted);
        QFETCH(bool, triple);
        QFETCH(QStringList, calls);
        SurfaceHarness h(solidImage(4000, 3000));
        h.area()->setFitMode(fitted);
        const QRectF bounds = h.area()->bounds();
        mouse(h.image(), QEvent::MouseButtonPress, at);
        mouse(h.image(), QEvent::MouseMove, at + moved);
        mouse(h.image(), QEvent::MouseButtonRelease, at + moved);
        for (auto type : {QEvent::MouseButtonDblClick, QEvent::MouseButtonRelease,
                          QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            if (triple)
                mouse(h.image(), type, at);
        QCOMPARE(h.clicks, calls);
        QCOMPARE(h.area()->bounds(), bounds); // a drag of a fitted image moves nothing
    }

    void dragKeepsTheGrabbedPointUnderThePointer()
    {
        SurfaceHarness h(solidImage(4000, 3000));
        h.zoomTo(1.0);
        h.area()->scrollToPoint({1000, 1000});
        const QPointF grabbed = h.area()->mapToDocument({400, 300});
        mouse(h.image(), QEvent::MouseMove, {400, 300});
        QCOMPARE(h.image()->cursor().shape(), Qt::OpenHandCursor);
        mouse(h.image(), QEvent::MouseButtonPress, {400, 300});
        mouse(h.image(), QEvent::MouseMove, {350, 250});
        mouse(h.image(), QEvent::MouseMove, {300, 200});
        QCOMPARE(h.area()->mapToDocument({300, 200}), grabbed);
        QCOMPARE(h.image()->cursor().shape(), Qt::ClosedHandCursor);
        mouse(h.image(), QEvent::MouseMove, {5000, 300}); // against the edge it stops
        QCOMPARE(h.area()->bounds().x(), 0.0);
        mouse(h.image(), QEvent::MouseButtonRelease, {5000, 300});
        QCOMPARE(h.clicks, QStringList());
        QCOMPARE(h.image()->cursor().shape(), Qt::ArrowCursor);
    }

    void fittedImageIsSmoothlyDownscaled()
    {
        // A chessboard averaged at a quarter: grey, not a moiré of black and white.
        SurfaceHarness h(checkerboard(4000, 3000));
        QTRY_VERIFY(TestAccess::isScaledCopyReady(*h.image()));
        const QImage shot = h.image()->grab().toImage();
        for (const QPoint p : {QPoint(500, 400), QPoint(10, 30), QPoint(990, 770)})
            QCOMPARE_LT(qAbs(qGray(shot.pixel(p)) - 128), 28);
        QCOMPARE(shot.pixel(500, 10), qRgb(0, 0, 0));
        QCOMPARE(shot.pixel(500, 790), qRgb(0, 0, 0));
    }

    void drawsSharplyAtDevicePixelRatioTwo()
    {
        // Fitted at 0.5 on two device pixels per point: one image pixel per device pixel.
        const QImage image = checkerboard(1000, 800);
        SurfaceHarness h(image);
        if (h.image()->devicePixelRatioF() != 2)
            QSKIP("Runs with QT_SCALE_FACTOR=2 only");
        h.view.resize(500, 400);
        settle();
        QCOMPARE(h.area()->magnification(), 0.5);
        const QImage shot = h.image()->grab().toImage();
        for (int x = 400; x < 404; ++x)
            for (int y = 400; y < 402; ++y)
                QCOMPARE(shot.pixel(x, y), image.pixel(x, y));
    }
};

QTEST_MAIN(TestZoomViews)
#include "tst_zoomviews.moc"
