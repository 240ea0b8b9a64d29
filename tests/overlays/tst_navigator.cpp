#include "../support/TestSupport.h"
#include "overlays/NavigatorGeometry.h"
#include "overlays/NavigatorOverlay.h"
#include "state/AppState.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QImage filled(QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

void sendMouse(QWidget& widget, QEvent::Type type, QPointF position, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, position, widget.mapToGlobal(position), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &event);
}

} // namespace

class TestNavigator : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    void miniMapKeepsAspectWithinMaxDimension_data()
    {
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QSizeF>("map");
        QTest::newRow("landscape") << QSizeF(4000, 3000) << QSizeF(150, 112.5);
        QTest::newRow("portrait") << QSizeF(3000, 4000) << QSizeF(112.5, 150);
        QTest::newRow("square") << QSizeF(500, 500) << QSizeF(150, 150);
        QTest::newRow("panorama") << QSizeF(15000, 10) << QSizeF(150, 1);
        QTest::newRow("tower") << QSizeF(10, 15000) << QSizeF(1, 150);
    }

    void miniMapKeepsAspectWithinMaxDimension()
    {
        QFETCH(QSizeF, image);
        QFETCH(QSizeF, map);
        QCOMPARE(navigator::miniMapSize(image, 150), map);
    }

    // The visible rectangle grows upward; the mini-map downward.
    void viewportFollowsVisibleRect_data()
    {
        QTest::addColumn<QRectF>("visible");
        QTest::addColumn<QRectF>("viewport");
        QTest::newRow("centre half")
            << QRectF(0.25, 0.25, 0.5, 0.5) << QRectF(37.5, 28.125, 75, 56.25);
        QTest::newRow("top half") << QRectF(0, 0.5, 1, 0.5) << QRectF(0, 0, 150, 56.25);
        QTest::newRow("bottom-left quarter")
            << QRectF(0, 0, 0.5, 0.5) << QRectF(0, 56.25, 75, 56.25);
        QTest::newRow("whole") << QRectF(0, 0, 1, 1) << QRectF(0, 0, 150, 112.5);
    }

    void viewportFollowsVisibleRect()
    {
        QFETCH(QRectF, visible);
        QFETCH(QRectF, viewport);
        QCOMPARE(navigator::viewportRect(visible, {150, 112.5}), viewport);
    }

    void pointsAreClampedImageCoordinates_data()
    {
        QTest::addColumn<QPointF>("position");
        QTest::addColumn<QPointF>("point");
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("top-left") << QPointF(0, 0) << QPointF(0, 1);
        QTest::newRow("bottom-right") << QPointF(150, 112.5) << QPointF(1, 0);
        QTest::newRow("centre") << QPointF(75, 56.25) << QPointF(0.5, 0.5);
        QTest::newRow("beyond right, above") << QPointF(400, -30) << QPointF(1, 1);
        QTest::newRow("beyond left, below") << QPointF(-5, 500) << QPointF(0, 0);
        QTest::newRow("not a number") << QPointF(nan, nan) << QPointF(0, 0);
    }

    void pointsAreClampedImageCoordinates()
    {
        QFETCH(QPointF, position);
        QFETCH(QPointF, point);
        QCOMPARE(navigator::imagePoint(position, {150, 112.5}), point);
    }

    void pressAndDragNavigateAndReportTheDrag()
    {
        AppState state;
        state.setCurrentImage(filled({400, 300}, Qt::gray));
        NavigatorOverlay navigator(state);
        navigator.resize(navigator.sizeHint());
        navigator.show();
        QSignalSpy dragging(&state, &AppState::isNavigatorDraggingChanged);

        sendMouse(navigator, QEvent::MouseButtonPress, {0, 0}, Qt::LeftButton);
        QCOMPARE(state.scrollTarget(), QPointF(0, 1));
        QVERIFY(state.isNavigatorDragging());
        sendMouse(navigator, QEvent::MouseMove, {500, 56.25}, Qt::LeftButton);
        QCOMPARE(state.scrollTarget(), QPointF(1, 0.5));
        QVERIFY(state.isNavigatorDragging());
        sendMouse(navigator, QEvent::MouseButtonRelease, {500, 56.25}, Qt::NoButton);
        QVERIFY(!state.isNavigatorDragging());
        QCOMPARE(dragging.count(), 2);

        // Gone mid-drag (the image closed): the drag ends rather than pin the navigator.
        sendMouse(navigator, QEvent::MouseButtonPress, {75, 56}, Qt::LeftButton);
        navigator.hide();
        QVERIFY(!state.isNavigatorDragging());
    }

    // A grey picture showing its top half: bright there, darkened below, a white outline
    // between, transparent rounded corners.
    void drawsDarkenedImageWithBrightViewport()
    {
        AppState state;
        state.setCurrentImage(filled({200, 100}, QColor(150, 150, 150)));
        state.setVisibleRect({0, 0.5, 1, 0.5});
        QWidget parent;
        parent.resize(200, 100);
        auto* navigator = new NavigatorOverlay(state, &parent);
        navigator->setGeometry(QRect(QPoint(20, 10), navigator->sizeHint()));
        QCOMPARE(navigator->size(), QSize(150, 75));
        parent.show();
        QTRY_VERIFY(navigator->isCopySmooth());

        QImage image(navigator->size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        parent.render(&image, {}, navigator->geometry(), QWidget::DrawChildren);
        QCOMPARE(qGray(image.pixel(75, 18)), 150);
        QCOMPARE(qGray(image.pixel(75, 56)), 150 - 77);
        QVERIFY(qGray(image.pixel(75, 37)) > 200);
        QVERIFY(qGray(image.pixel(0, 0)) < 30);
    }

    // The paint reads a copy no larger than the mini-map, made smooth in the background.
    void drawsASmallCopyOfALargeImage()
    {
        AppState state;
        state.setCurrentImage(filled({3000, 2000}, Qt::darkCyan));
        NavigatorOverlay navigator(state);
        navigator.show();
        const QSize most = (QSizeF(150, 100) * navigator.devicePixelRatioF()).toSize();
        QCOMPARE(navigator.copy().size(), most);
        QTRY_VERIFY(navigator.isCopySmooth());
        QCOMPARE(navigator.copy().size(), most);
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
