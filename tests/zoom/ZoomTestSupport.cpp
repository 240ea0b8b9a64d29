#include "ZoomTestSupport.h"

#include "zoom/PannableImageView.h"
#include "zoom/ZoomScrollArea.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>

namespace zoomtest {

QImage solidImage(int width, int height, const QColor& colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QImage twoToneImage(int width, int height)
{
    QImage image = solidImage(width, height, Qt::red);
    QPainter painter(&image);
    painter.fillRect(QRect(width / 2, 0, width - width / 2, height), Qt::blue);
    return image;
}

Surface::~Surface()
{
    delete area;
}

void makeSurface(Surface& surface, const QSize& viewSize, const QSizeF& docSize)
{
    surface.area = new ZoomScrollArea;
    surface.view = new PannableImageView;
    surface.area->setDocumentView(surface.view);
    surface.view->setFrameSize(docSize);
    surface.area->resize(viewSize);
    surface.area->show();
    QVERIFY(QTest::qWaitForWindowExposed(surface.area));
}

void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

void wheel(QWidget* target, const QPointF& pos, const QPoint& angleDelta, const QPoint& pixelDelta)
{
    QWheelEvent event(pos, target->mapToGlobal(pos), pixelDelta, angleDelta, Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

namespace {

void mouse(QWidget* target, QEvent::Type type, const QPointF& pos, Qt::MouseButton button,
           Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

} // namespace

void press(QWidget* target, const QPointF& pos)
{
    mouse(target, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

void dragTo(QWidget* target, const QPointF& pos)
{
    mouse(target, QEvent::MouseMove, pos, Qt::NoButton, Qt::LeftButton);
}

void release(QWidget* target, const QPointF& pos)
{
    mouse(target, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

void doubleClickPress(QWidget* target, const QPointF& pos)
{
    mouse(target, QEvent::MouseButtonDblClick, pos, Qt::LeftButton, Qt::LeftButton);
}

void click(QWidget* target, const QPointF& pos)
{
    press(target, pos);
    release(target, pos);
}

void pinch(QWidget* target, Qt::NativeGestureType type, double value, const QPointF& pos)
{
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, pos, pos,
                              target->mapToGlobal(pos), value, {});
    QCoreApplication::sendEvent(target, &event);
}

} // namespace zoomtest
