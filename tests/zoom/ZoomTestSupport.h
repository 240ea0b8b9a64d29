#pragma once

#include "../support/TestAccess.h"

#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QTest>

namespace zoomtest {

inline QImage solidImage(int width, int height, const QColor& colour = Qt::darkGreen)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Left half red, right half blue: shows where the image sits and which way it is turned.
inline QImage twoToneImage(int width, int height)
{
    QImage image = solidImage(width, height, Qt::red);
    QPainter(&image).fillRect(QRect(width / 2, 0, width - width / 2, height), Qt::blue);
    return image;
}

// Lets queued update steps and follow-ups run.
inline void settle()
{
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

inline void wheel(QWidget* target, const QPointF& pos, const QPoint& angle,
                  const QPoint& pixels = {})
{
    QWheelEvent event(pos, target->mapToGlobal(pos), pixels, angle, Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(target, &event);
}

// Left button: a move holds it down, a release lets it go.
inline void mouse(QWidget* target, QEvent::Type type, const QPointF& pos)
{
    const auto button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const auto held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, target->mapToGlobal(pos), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &event);
}

// value is the zoom factor's change for a zoom gesture.
inline void pinch(QWidget* target, Qt::NativeGestureType type, double value, const QPointF& pos)
{
    QNativeGestureEvent event(type, QPointingDevice::primaryPointingDevice(), 2, pos, pos,
                              target->mapToGlobal(pos), value, {});
    QCoreApplication::sendEvent(target, &event);
}

// A shown 1000 × 800 surface wired as the window wires it: requests are cleared when consumed,
// reports recorded. An image given is shown fitted.
struct SurfaceHarness {
    struct State {
        double magnification;
        QRectF visible;
    };
    ZoomableImageView view;
    int zoomConsumed = 0;
    int scrollConsumed = 0;
    QList<State> states;
    QStringList clicks;

    explicit SurfaceHarness(const std::optional<QImage>& image)
    {
        QObject::connect(&view, &ZoomableImageView::zoomActionConsumed, [this] {
            ++zoomConsumed;
            view.setZoomAction(std::nullopt);
        });
        QObject::connect(&view, &ZoomableImageView::scrollTargetConsumed, [this] {
            ++scrollConsumed;
            view.setScrollTarget(std::nullopt);
        });
        QObject::connect(&view, &ZoomableImageView::stateChanged,
                         [this](double m, const QRectF& r) {
                             states << State{m, r};
                         });
        QObject::connect(&view, &ZoomableImageView::doubleClicked, [this] { clicks << "double"; });
        QObject::connect(&view, &ZoomableImageView::navigateClicked,
                         [this](bool next) { clicks << (next ? "next" : "previous"); });
        view.resize(1000, 800);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        if (image) {
            view.setImage(image);
            view.setZoomAction(ZoomAction::fit);
            settle();
        }
    }
    ZoomScrollArea* area() const { return TestAccess::scrollArea(view); }
    PannableImageView* image() const { return TestAccess::imageView(view); }
    void zoomTo(double magnification) // out of fit mode
    {
        area()->setFitMode(false);
        area()->setMagnification(magnification);
    }
};

} // namespace zoomtest
