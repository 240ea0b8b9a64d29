#include "../support/TestSupport.h"
#include "overlays/NavigatorGeometry.h"
#include "overlays/NavigatorOverlay.h"
#include "state/AppState.h"

#include <QtTest>

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
    // Even a panorama's map is a pixel high; a press off the map or not a number stays on the
    // picture.
    void geometryKeepsAPixelAndClamps()
    {
        QCOMPARE(navigator::miniMapSize({15000, 10}, 150), QSizeF(150, 1));
        QCOMPARE(navigator::miniMapSize({10, 15000}, 150), QSizeF(1, 150));
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(navigator::imagePoint({nan, nan}, {150, 112.5}), QPointF(0, 0));
        QCOMPARE(navigator::imagePoint({-5, 500}, {150, 112.5}), QPointF(0, 0));
    }

    // The visible rectangle grows upward, the map downward.
    void pressAndDragNavigateAndReportTheDrag()
    {
        AppState state;
        state.setCurrentImage(filled({400, 300}, Qt::gray));
        NavigatorOverlay navigator(state);
        navigator.resize(navigator.sizeHint());
        navigator.show();
        sendMouse(navigator, QEvent::MouseButtonPress, {0, 0}, Qt::LeftButton);
        QCOMPARE(state.scrollTarget(), QPointF(0, 1));
        QVERIFY(state.isNavigatorDragging());
        sendMouse(navigator, QEvent::MouseMove, {500, 56.25}, Qt::LeftButton);
        QCOMPARE(state.scrollTarget(), QPointF(1, 0.5));
        QVERIFY(state.isNavigatorDragging());
        sendMouse(navigator, QEvent::MouseButtonRelease, {500, 56.25}, Qt::NoButton);
        QVERIFY(!state.isNavigatorDragging());

        // Gone mid-drag (the image closed): the drag ends rather than pin the navigator.
        sendMouse(navigator, QEvent::MouseButtonPress, {75, 56}, Qt::LeftButton);
        navigator.hide();
        QVERIFY(!state.isNavigatorDragging());
    }

    // A large grey picture showing its top half: bright there, darkened below, a white outline
    // between, transparent rounded corners. The paint reads a copy no larger than the map, made
    // smooth in the background.
    void drawsASmallCopyDarkenedOutsideTheView()
    {
        AppState state;
        state.setCurrentImage(filled({3000, 1500}, QColor(150, 150, 150)));
        state.setVisibleRect({0, 0.5, 1, 0.5});
        QWidget parent;
        parent.resize(200, 100);
        auto* navigator = new NavigatorOverlay(state, &parent);
        navigator->setGeometry(QRect(QPoint(20, 10), navigator->sizeHint()));
        QCOMPARE(navigator->size(), QSize(150, 75));
        parent.show();
        const QSize most = (QSizeF(150, 75) * navigator->devicePixelRatioF()).toSize();
        QCOMPARE(navigator->copy().size(), most);
        QTRY_VERIFY(navigator->isCopySmooth());
        QCOMPARE(navigator->copy().size(), most);

        QImage image(navigator->size(), QImage::Format_RGB32);
        image.fill(Qt::black);
        parent.render(&image, {}, navigator->geometry(), QWidget::DrawChildren);
        QCOMPARE(qGray(image.pixel(75, 18)), 150);
        QCOMPARE(qGray(image.pixel(75, 56)), 150 - 77);
        QVERIFY(qGray(image.pixel(75, 37)) > 200);
        QVERIFY(qGray(image.pixel(0, 0)) < 30);
    }
};

QTEST_MAIN(TestNavigator)
#include "tst_navigator.moc"
