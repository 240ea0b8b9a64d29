#pragma once

#include "base/TestAccess.h"
#include "zoom/ScaledImageCache.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QWidget>
#include <optional>

class QVariantAnimation;
class ZoomScrollArea;

// The document view of the zoom surface: draws the image at its size in points, scaled by the
// enclosing scroll area's magnification, over black. Dragging pans; a click on a fitted image
// steps to the next or previous image by the half it lands in; a double click undoes that step
// and asks for the fitted view.
class PannableImageView : public QWidget {
    Q_OBJECT

public:
    explicit PannableImageView(QWidget* parent = nullptr);
    ~PannableImageView() override;

    // refines: image is a sharper picture of what is shown (the whole photo after its preview),
    // so what is on screen stands in until its copy for the screen is made.
    void setImage(const QImage& image, bool refines = false);
    // The document's size: the frame is (0, 0) to this size in document coordinates.
    void setFrameSize(const QSizeF& size);
    QSizeF frameSize() const { return m_frameSize; }

    // Cross-fades from what is on screen now to whatever is drawn next.
    void fadeFromCurrentContent();

    // Scales image ahead for the fitted view it would get now, when that copy would otherwise
    // be made in the background after the image is shown.
    void prepareFittedCopy(const QImage& image);

    // With the frame trace on: the next frame that draws the image is reported under label.
    void traceNextFrame(const QString& label)
    {
        m_traceLabel = label;
        m_traceStandInSeen = false;
    }

Q_SIGNALS:
    void frameSizeChanged();
    // A double click on the image, after the step its first click took has been undone.
    void doubleClicked();
    // A click on a fitted image: in its right half for the next image, else the previous one.
    void navigateClicked(bool next);
    // A paint put a picture, or its stand-in, on screen.
    void pictureDrawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    friend struct TestAccess;

    ZoomScrollArea* enclosingScrollArea() const;
    // True once the smoothly scaled copy for the current magnification is in hand.
    bool isScaledCopyReady() const;
    bool isOverImage(const QPointF& viewportPos) const;
    void updateHoverCursor(const QPointF& viewportPos);
    // What paintImage drew, for the frame trace.
    enum class Drawn { nothing, standIn, picture };
    Drawn paintFrame(QPainter& painter, const QRect& dirty);
    Drawn paintImage(QPainter& painter, const QRect& dirty);
    void traceFrame(Drawn drawn);
    // Whether the image is a preview, decoded smaller than the document it stands for.
    bool showsPreview() const { return m_image.size() != m_frameSize.toSize(); }
    QSize scaledCopySize(const QRectF& target, double dpr) const;
    // How far the fade has come, 0 to 1, for a frame painted now.
    double fadeProgress() const;

    QImage m_image;
    QSizeF m_frameSize;
    ScaledImageCache m_scaledCopy;

    QPointF m_pressPosition;
    QPointF m_lastDragPosition;
    bool m_isDragging = false;
    bool m_hasDragged = false;
    std::optional<bool> m_lastNavigateWasNext;

    QVariantAnimation* m_fade = nullptr;
    QImage m_fadeSnapshot;
    QElapsedTimer m_fadeClock;
    QImage m_spareSnapshot; // the last fade's buffer, painted over by the next one
    QString m_traceLabel;
    bool m_traceStandInSeen = false;
};
