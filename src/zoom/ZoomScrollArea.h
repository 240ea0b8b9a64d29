#pragma once

#include "base/TestAccess.h"
#include "zoom/ZoomGeometry.h"

#include <QAbstractScrollArea>
#include <QPointF>
#include <QRectF>
#include <optional>

class OverlayScrollBar;
class PannableImageView;
class QNativeGestureEvent;
class QWheelEvent;

// The magnifying scroll view of the zoom surface. Its viewport is the image view, and it keeps
// the clip bounds (the visible part of the document, in document coordinates: image points, y
// upward) and the magnification. The wheel always zooms about the pointer and never scrolls;
// a touchpad pinch zooms as well. In fit mode every layout pass re-fits the image. Thin overlay
// bars show the position while the view scrolls or zooms; they never take room from the picture.
class ZoomScrollArea : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ZoomScrollArea(QWidget* parent = nullptr);
    ~ZoomScrollArea() override;

    bool isFitMode() const { return m_isFitMode; }
    void setFitMode(bool on) { m_isFitMode = on; }
    // While the window is being sized to the image, layout passes keep the magnification.
    void setAutoSizing(bool on) { m_isAutoSizing = on; }

    // The image view becomes the viewport; its frame size is the document's size.
    void setDocumentView(PannableImageView* view);
    PannableImageView* documentView() const;
    // Empty without a document view.
    QSizeF documentSize() const;

    double magnification() const { return m_magnification; }
    double minMagnification() const { return m_minMagnification; }
    double maxMagnification() const { return m_maxMagnification; }
    void setMaxMagnification(double value) { m_maxMagnification = value; }
    // Clamped to the allowed range. Without an anchor the centre of the view stays put; with
    // one, the given document point stays under the same place of the view.
    void setMagnification(double value);
    void setMagnification(double value, const QPointF& anchor);
    // The smallest magnification is the fitted one; left alone while any size is empty.
    void updateMinMagnification();

    QRectF bounds() const;
    QRectF constrainBoundsRect(const QRectF& proposed) const;
    // Moves the bounds origin, constrained like every other change of the bounds.
    void scrollToPoint(const QPointF& origin);

    // Between viewport positions (logical pixels, y down) and document coordinates.
    QPointF mapToDocument(const QPointF& viewportPos) const;
    QRectF documentRectInViewport() const;

Q_SIGNALS:
    // Any change of the bounds: scroll, magnification or size of the view.
    void boundsChanged();
    void liveMagnifyWillStart();
    void liveMagnifyDidEnd();
    // The person zoomed, by wheel or pinch.
    void magnifiedByUser();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    friend struct TestAccess;

    void layoutDocument();
    double allowedMagnification(double value) const;
    void zoomByWheel(const QWheelEvent& event, const QPointF& anchorInViewport);
    // Zooms so that the document point lands under the viewport position, as far as the
    // bounds allow.
    void zoomKeeping(double magnification, const QPointF& documentPoint,
                     const QPointF& viewportPos);
    // The document point a wheel or pinch zoom at this position holds on to.
    QPointF pointToHold(const QPointF& viewportPos) const;
    void handleNativeGesture(QNativeGestureEvent* event);
    void applyBounds(const QPointF& origin, double magnification);
    // Brings the overlay bars to the bounds; they show themselves when the view moved.
    void updateOverlayBars(bool moved);
    void placeOverlayBars();
    void scrollFromBar(Qt::Orientation orientation, double start);

    bool m_isFitMode = true;
    bool m_isAutoSizing = false;
    double m_magnification = 1.0;
    double m_minMagnification = 1.0;
    double m_maxMagnification = zoom::kMaxMagnification;
    QRectF m_bounds;
    bool m_isLiveMagnifying = false;
    // What the last wheel or pinch step held under the pointer, and the view it left. The next
    // step at the same place holds the same point: re-reading it from the screen would take in
    // the shift that centring a narrow picture forced, and each step would magnify that shift.
    struct HeldPoint {
        QPointF viewportPos;
        QPointF documentPoint;
        QRectF bounds;
        double magnification;
    };
    std::optional<HeldPoint> m_heldPoint;
    OverlayScrollBar* m_horizontalBar;
    OverlayScrollBar* m_verticalBar;
};
