#include "ZoomTestSupport.h"

#include "zoom/PannableImageView.h"
#include "zoom/ZoomGeometry.h"
#include "zoom/ZoomScrollArea.h"

#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace zoomtest;

class TestZoomScrollArea : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fitsAndCentres_data();
    void fitsAndCentres();
    void constrainsAndReportsInDocumentUnits();
    void wheelSteps_data();
    void wheelSteps();
    void wheelZoomsAboutThePointer();
    void wheelToTheMinimumReturnsToFitMode();
    void layoutRefitsOnlyInFitModeAndNotWhileAutoSizing();
    void scrollBarsFollowAndMoveTheBounds();
    void pinchZoomsBetweenStartAndEnd();
};

void TestZoomScrollArea::fitsAndCentres_data()
{
    QTest::addColumn<QSizeF>("document");
    QTest::addColumn<double>("fitted");
    QTest::addColumn<QPointF>("origin");
    QTest::addColumn<QSizeF>("visible");
    // Never enlarged: a small image is shown at 100 %, centred with equal margins.
    QTest::newRow("smaller than the view")
        << QSizeF(400, 300) << 1.0 << QPointF(-300, -250) << QSizeF(1000, 800);
    // Clamped horizontally, centred vertically.
    QTest::newRow("wide") << QSizeF(4000, 1000) << 0.25 << QPointF(0, -1100) << QSizeF(4000, 3200);
    // Exactly as wide as the view: the clamp, not the centring, decides x.
    QTest::newRow("exactly as wide")
        << QSizeF(1000, 400) << 1.0 << QPointF(0, -200) << QSizeF(1000, 800);
}

void TestZoomScrollArea::fitsAndCentres()
{
    QFETCH(QSizeF, document);
    QFETCH(double, fitted);
    QFETCH(QPointF, origin);
    QFETCH(QSizeF, visible);
    Surface s;
    makeSurface(s, {1000, 800}, document);
    QVERIFY(s.area->isFitMode());
    QCOMPARE(s.area->minMagnification(), fitted);
    QCOMPARE(s.area->magnification(), fitted);
    QCOMPARE(s.area->bounds(), QRectF(origin, visible));
    QCOMPARE(s.area->horizontalScrollBar()->maximum(), 0);
    QCOMPARE(s.area->verticalScrollBar()->maximum(), 0);
}

void TestZoomScrollArea::constrainsAndReportsInDocumentUnits()
{
    const QSizeF document(4000, 3000);
    // Kept inside a larger document on both sides.
    QCOMPARE(zoom::constrainBounds({-50, 5000, 1000, 800}, document), QRectF(0, 2200, 1000, 800));
    QCOMPARE(zoom::constrainBounds({3500, -10, 1000, 800}, document), QRectF(3000, 0, 1000, 800));
    QCOMPARE(zoom::fittedMagnification(document, {0, 800}), std::nullopt);
    QCOMPARE(zoom::fittedMagnification({}, {1000, 800}), std::nullopt);

    // Margins report as the whole image; the origin is never clamped from above.
    QCOMPARE(zoom::normalisedVisibleRect({-300, -250, 1000, 800}, {400, 300}), QRectF(0, 0, 1, 1));
    QCOMPARE(zoom::normalisedVisibleRect({3000, 1500, 1000, 750}, document),
             QRectF(0.75, 0.5, 0.25, 0.25));
    QCOMPARE(zoom::normalisedVisibleRect({3800, 0, 400, 3000}, document).x(), 0.95);
}

void TestZoomScrollArea::wheelSteps_data()
{
    QTest::addColumn<double>("start");
    QTest::addColumn<QPoint>("angle");
    QTest::addColumn<QPoint>("pixels");
    QTest::addColumn<double>("expected");
    QTest::newRow("notch in") << 1.0 << QPoint(0, 120) << QPoint() << 1.1;
    QTest::newRow("notch out") << 1.0 << QPoint(0, -120) << QPoint() << 0.9;
    QTest::newRow("touchpad") << 1.0 << QPoint(0, 120) << QPoint(0, 1) << 1.005;
    QTest::newRow("sideways only") << 1.0 << QPoint(120, 0) << QPoint() << 1.0;
    QTest::newRow("touchpad sideways") << 1.0 << QPoint(0, 0) << QPoint(8, 0) << 1.0;
    QTest::newRow("at the maximum") << 20.0 << QPoint(0, 120) << QPoint() << 20.0;
    QTest::newRow("near the maximum") << 19.0 << QPoint(0, 240) << QPoint() << 20.0;
}

void TestZoomScrollArea::wheelSteps()
{
    QFETCH(double, start);
    QFETCH(QPoint, angle);
    QFETCH(QPoint, pixels);
    QFETCH(double, expected);
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    s.area->setFitMode(false);
    s.area->setMagnification(start);
    const QRectF before = s.area->bounds();
    QSignalSpy changes(s.area, &ZoomScrollArea::boundsChanged);

    wheel(s.view, {500, 400}, angle, pixels);

    QCOMPARE(s.area->magnification(), expected);
    QVERIFY(!s.area->isFitMode());
    // The wheel never scrolls: nothing moves unless the magnification changed.
    if (expected == start) {
        QCOMPARE(s.area->bounds(), before);
        QCOMPARE(changes.count(), 0);
    }
}

void TestZoomScrollArea::wheelZoomsAboutThePointer()
{
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    s.area->setFitMode(false);
    s.area->setMagnification(1.0);
    s.area->scrollToPoint({1000, 1000});
    const QPointF pointer(200, 150);
    const QPointF under = s.area->mapToDocument(pointer);

    wheel(s.view, pointer, {0, 360});

    QVERIFY(s.area->magnification() > 1.0);
    const QPointF after = s.area->mapToDocument(pointer);
    QVERIFY(qAbs(after.x() - under.x()) < 1e-6);
    QVERIFY(qAbs(after.y() - under.y()) < 1e-6);
}

void TestZoomScrollArea::wheelToTheMinimumReturnsToFitMode()
{
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    s.area->setFitMode(false);
    s.area->setMagnification(0.3);

    wheel(s.view, {500, 400}, {0, -360});

    QCOMPARE(s.area->magnification(), 0.25);
    QVERIFY(s.area->isFitMode());
    // So the next resize fits again.
    s.area->resize(500, 400);
    QCOMPARE(s.area->magnification(), 0.125);
}

void TestZoomScrollArea::layoutRefitsOnlyInFitModeAndNotWhileAutoSizing()
{
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    s.area->setAutoSizing(true);
    s.area->resize(500, 400);
    QCOMPARE(s.area->minMagnification(), 0.125);
    QCOMPARE(s.area->magnification(), 0.25);

    s.area->setAutoSizing(false);
    s.area->setFitMode(false);
    s.area->resize(800, 600);
    QCOMPARE(s.area->minMagnification(), 0.2);
    QCOMPARE(s.area->magnification(), 0.25);
}

void TestZoomScrollArea::scrollBarsFollowAndMoveTheBounds()
{
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    s.area->setFitMode(false);
    s.area->setMagnification(1.0);
    QScrollBar* h = s.area->horizontalScrollBar();
    QScrollBar* v = s.area->verticalScrollBar();
    // The bars show themselves on the next turn of the event loop.
    settle();
    QVERIFY(h->isVisible() && v->isVisible());
    const QSize view = s.view->size();
    QCOMPARE(h->maximum(), 4000 - view.width());
    QCOMPARE(v->maximum(), 3000 - view.height());

    h->setValue(700);
    QCOMPARE(s.area->bounds().x(), 700.0);
    // The vertical bar counts from the top; the bounds from the bottom.
    v->setValue(0);
    QCOMPARE(s.area->bounds().top() + s.area->bounds().height(), 3000.0);

    // The wheel over a scroll bar zooms instead of scrolling.
    wheel(v, {5, 5}, {0, -120});
    QCOMPARE(s.area->magnification(), 0.9);

    // Fitting hides both bars again.
    s.area->setFitMode(true);
    s.area->setMagnification(s.area->minMagnification());
    QCOMPARE(h->maximum(), 0);
    QCOMPARE(v->maximum(), 0);
    settle();
    QVERIFY(!h->isVisible() && !v->isVisible());
    QCOMPARE(s.view->size(), QSize(1000, 800));
    QCOMPARE(s.area->magnification(), 0.25);
}

void TestZoomScrollArea::pinchZoomsBetweenStartAndEnd()
{
    Surface s;
    makeSurface(s, {1000, 800}, {4000, 3000});
    QSignalSpy started(s.area, &ZoomScrollArea::liveMagnifyWillStart);
    QSignalSpy ended(s.area, &ZoomScrollArea::liveMagnifyDidEnd);
    auto gesture = [&](Qt::NativeGestureType type, double value) {
        pinch(s.view, type, value, {500, 400});
    };
    gesture(Qt::BeginNativeGesture, 0);
    gesture(Qt::ZoomNativeGesture, 0.5);
    gesture(Qt::ZoomNativeGesture, 1.0);
    QCOMPARE(started.count(), 1);
    QCOMPARE(ended.count(), 0);
    QCOMPARE(s.area->magnification(), 0.25 * 1.5 * 2.0);
    gesture(Qt::EndNativeGesture, 0);
    QCOMPARE(ended.count(), 1);
    // Pinching past the limits stops at them.
    gesture(Qt::ZoomNativeGesture, -0.99);
    QCOMPARE(s.area->magnification(), 0.25);
    QCOMPARE(started.count(), 2);
}

QTEST_MAIN(TestZoomScrollArea)
#include "tst_zoomscrollarea.moc"
