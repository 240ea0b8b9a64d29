#pragma once

#include <QColor>
#include <QImage>
#include <QPointF>

class QWidget;
class PannableImageView;
class ZoomScrollArea;

namespace zoomtest {

QImage solidImage(int width, int height, const QColor& colour = Qt::darkGreen);
// Left half red, right half blue: shows where the image sits and which way it is turned.
QImage twoToneImage(int width, int height);

// A shown scroll area of exactly this size holding an image view with a document of docSize.
struct Surface {
    ZoomScrollArea* area = nullptr;
    PannableImageView* view = nullptr;
    ~Surface();
};
void makeSurface(Surface& surface, const QSize& viewSize, const QSizeF& docSize);

// Lets queued calls (update steps, follow-ups) run.
void settle();

void wheel(QWidget* target, const QPointF& pos, const QPoint& angleDelta,
           const QPoint& pixelDelta = {});
void press(QWidget* target, const QPointF& pos);
void dragTo(QWidget* target, const QPointF& pos);
void release(QWidget* target, const QPointF& pos);
void doubleClickPress(QWidget* target, const QPointF& pos);
void click(QWidget* target, const QPointF& pos);
// A touchpad gesture event; value is the zoom factor's change for a zoom gesture.
void pinch(QWidget* target, Qt::NativeGestureType type, double value, const QPointF& pos);

} // namespace zoomtest
