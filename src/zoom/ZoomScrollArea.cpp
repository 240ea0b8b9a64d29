#include "zoom/ZoomScrollArea.h"

#include "zoom/OverlayScrollBar.h"
#include "zoom/PannableImageView.h"

#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <cmath>

namespace {

// Line-based wheels report 120 per notch; a notch counts as one unit of movement.
constexpr double kAngleUnitsPerNotch = 120.0;
constexpr double kPreciseStep = 0.005;
constexpr double kNotchStep = 0.1;
constexpr double kSmallestWheelChange = 0.001;
// A pointer that moved less than this between two wheel steps still aims at the same point.
constexpr double kSamePlace = 2.0;

} // namespace

ZoomScrollArea::ZoomScrollArea(QWidget* parent)
    : QAbstractScrollArea(parent), m_horizontalBar(new OverlayScrollBar(Qt::Horizontal, this)),
      m_verticalBar(new OverlayScrollBar(Qt::Vertical, this))
{
    setFrameShape(QFrame::NoFrame);
    // Keys are the window's commands; the surface never takes the focus.
    setFocusPolicy(Qt::NoFocus);
    // The platform's bars would take room from the picture: overlay bars stand in for them.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(m_horizontalBar, &OverlayScrollBar::dragged, this,
            [this](double start) { scrollFromBar(Qt::Horizontal, start); });
    connect(m_verticalBar, &OverlayScrollBar::dragged, this,
            [this](double start) { scrollFromBar(Qt::Vertical, start); });
}

ZoomScrollArea::~ZoomScrollArea() = default;

void ZoomScrollArea::setDocumentView(PannableImageView* view)
{
    setViewport(view);
    view->setAutoFillBackground(false);
    connect(view, &PannableImageView::frameSizeChanged, this,
            [this] { applyBounds(m_bounds.topLeft(), m_magnification); });
    applyBounds(m_bounds.topLeft(), m_magnification);
}

PannableImageView* ZoomScrollArea::documentView() const
{
    return qobject_cast<PannableImageView*>(viewport());
}

QSizeF ZoomScrollArea::documentSize() const
{
    const PannableImageView* view = documentView();
    return view ? view->frameSize() : QSizeF();
}

void ZoomScrollArea::setMagnification(double value)
{
    setMagnification(value, m_bounds.center());
}

void ZoomScrollArea::setMagnification(double value, const QPointF& anchor)
{
    value = allowedMagnification(value);
    const double keep = m_magnification / value;
    const QPointF origin = anchor - (anchor - m_bounds.topLeft()) * keep;
    applyBounds(origin, value);
}

double ZoomScrollArea::allowedMagnification(double value) const
{
    // The minimum wins if the two limits ever cross.
    return std::max(std::min(value, m_maxMagnification), m_minMagnification);
}

void ZoomScrollArea::updateMinMagnification()
{
    if (const auto fitted = zoom::fittedMagnification(documentSize(), maximumViewportSize()))
        m_minMagnification = *fitted;
}

QRectF ZoomScrollArea::bounds() const
{
    return m_bounds;
}

QRectF ZoomScrollArea::constrainBoundsRect(const QRectF& proposed) const
{
    if (!documentView())
        return proposed;
    return zoom::constrainBounds(proposed, documentSize());
}

void ZoomScrollArea::scrollToPoint(const QPointF& origin)
{
    applyBounds(origin, m_magnification);
}

QPointF ZoomScrollArea::mapToDocument(const QPointF& viewportPos) const
{
    const double viewHeight = viewport()->height();
    return {m_bounds.x() + viewportPos.x() / m_magnification,
            m_bounds.y() + (viewHeight - viewportPos.y()) / m_magnification};
}

QRectF ZoomScrollArea::documentRectInViewport() const
{
    const QSizeF document = documentSize();
    const double top = m_bounds.y() + m_bounds.height() - document.height();
    return {-m_bounds.x() * m_magnification, top * m_magnification,
            document.width() * m_magnification, document.height() * m_magnification};
}

bool ZoomScrollArea::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        layoutDocument();
        return false;
    // The image view paints and handles the pointer itself.
    case QEvent::Paint:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return false;
    case QEvent::NativeGesture:
        handleNativeGesture(static_cast<QNativeGestureEvent*>(event));
        return true;
    default:
        return QAbstractScrollArea::viewportEvent(event);
    }
}

bool ZoomScrollArea::event(QEvent* event)
{
    // A wheel over an overlay bar reaches the area itself; the base class would pass it on.
    // The viewport fills the area, so the position needs no mapping.
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent*>(event));
        return true;
    }
    return QAbstractScrollArea::event(event);
}

void ZoomScrollArea::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    placeOverlayBars();
}

void ZoomScrollArea::wheelEvent(QWheelEvent* event)
{
    zoomByWheel(*event, event->position());
    event->accept();
}

void ZoomScrollArea::keyPressEvent(QKeyEvent* event)
{
    // Arrow and page keys step through the folder; they never scroll.
    event->ignore();
}

void ZoomScrollArea::layoutDocument()
{
    updateMinMagnification();
    if (m_isFitMode && !m_isAutoSizing) {
        setMagnification(m_minMagnification);
        return;
    }
    // A zoomed picture keeps the point at the centre of the view where it was.
    const QSizeF visible = QSizeF(viewport()->size()) / m_magnification;
    applyBounds(m_bounds.center() - QPointF(visible.width(), visible.height()) * 0.5,
                m_magnification);
}

void ZoomScrollArea::zoomByWheel(const QWheelEvent& event, const QPointF& anchorInViewport)
{
    const bool precise = !event.pixelDelta().isNull();
    const double d =
        precise ? event.pixelDelta().y() : event.angleDelta().y() / kAngleUnitsPerNotch;
    if (d == 0)
        return;
    updateMinMagnification();
    double m = m_magnification * (1 + d * (precise ? kPreciseStep : kNotchStep));
    if (m >= m_maxMagnification)
        m = m_maxMagnification;
    if (m < m_minMagnification)
        m = m_minMagnification;
    if (std::abs(m - m_magnification) <= kSmallestWheelChange)
        return;
    m_isFitMode = std::abs(m - m_minMagnification) < kSmallestWheelChange;
    zoomKeeping(m, pointToHold(anchorInViewport), anchorInViewport);
}

QPointF ZoomScrollArea::pointToHold(const QPointF& viewportPos) const
{
    if (m_heldPoint && m_heldPoint->bounds == m_bounds &&
        m_heldPoint->magnification == m_magnification &&
        (m_heldPoint->viewportPos - viewportPos).manhattanLength() < kSamePlace)
        return m_heldPoint->documentPoint;
    return mapToDocument(viewportPos);
}

void ZoomScrollArea::zoomKeeping(double magnification, const QPointF& documentPoint,
                                 const QPointF& viewportPos)
{
    const double m = allowedMagnification(magnification);
    const double viewHeight = viewport()->height();
    applyBounds({documentPoint.x() - viewportPos.x() / m,
                 documentPoint.y() - (viewHeight - viewportPos.y()) / m},
                m);
    m_heldPoint = HeldPoint{viewportPos, documentPoint, m_bounds, m_magnification};
    Q_EMIT magnifiedByUser();
}

void ZoomScrollArea::handleNativeGesture(QNativeGestureEvent* event)
{
    switch (event->gestureType()) {
    case Qt::ZoomNativeGesture:
        if (!m_isLiveMagnifying) {
            m_isLiveMagnifying = true;
            Q_EMIT liveMagnifyWillStart();
        }
        updateMinMagnification();
        zoomKeeping(m_magnification * (1 + event->value()), pointToHold(event->position()),
                    event->position());
        break;
    case Qt::EndNativeGesture:
        if (m_isLiveMagnifying) {
            m_isLiveMagnifying = false;
            Q_EMIT liveMagnifyDidEnd();
        }
        break;
    default:
        break;
    }
    event->accept();
}

void ZoomScrollArea::applyBounds(const QPointF& origin, double magnification)
{
    const QRectF before = m_bounds;
    const double magnificationBefore = m_magnification;
    m_magnification = magnification;
    m_bounds = constrainBoundsRect(QRectF(origin, QSizeF(viewport()->size()) / magnification));
    const bool moved = m_bounds != before || m_magnification != magnificationBefore;
    updateOverlayBars(moved);
    if (moved) {
        viewport()->update();
        Q_EMIT boundsChanged();
    }
}

void ZoomScrollArea::updateOverlayBars(bool moved)
{
    const QSizeF document = documentSize();
    if (!(document.width() > 0) || !(document.height() > 0)) {
        m_horizontalBar->setSpan(0, 1);
        m_verticalBar->setSpan(0, 1);
        return;
    }
    const bool wasNeeded[] = {m_horizontalBar->isNeeded(), m_verticalBar->isNeeded()};
    // The vertical bar counts from the top, the bounds from the bottom.
    const double fromTop = document.height() - (m_bounds.y() + m_bounds.height());
    m_horizontalBar->setSpan(m_bounds.x() / document.width(), m_bounds.width() / document.width());
    m_verticalBar->setSpan(fromTop / document.height(), m_bounds.height() / document.height());
    if (wasNeeded[0] != m_horizontalBar->isNeeded() || wasNeeded[1] != m_verticalBar->isNeeded())
        placeOverlayBars();
    if (moved) {
        m_horizontalBar->flash();
        m_verticalBar->flash();
    }
}

void ZoomScrollArea::placeOverlayBars()
{
    const int thickness = OverlayScrollBar::kThickness;
    const QRect area = rect();
    // Where both show, each stops short of the other's corner.
    const int rightGap = m_verticalBar->isNeeded() ? thickness : 0;
    const int bottomGap = m_horizontalBar->isNeeded() ? thickness : 0;
    m_horizontalBar->setGeometry(area.left(), area.bottom() + 1 - thickness,
                                 area.width() - rightGap, thickness);
    m_verticalBar->setGeometry(area.right() + 1 - thickness, area.top(), thickness,
                               area.height() - bottomGap);
}

void ZoomScrollArea::scrollFromBar(Qt::Orientation orientation, double start)
{
    const QSizeF document = documentSize();
    QPointF origin = m_bounds.topLeft();
    if (orientation == Qt::Horizontal)
        origin.setX(start * document.width());
    else
        origin.setY(document.height() * (1 - start) - m_bounds.height());
    applyBounds(origin, m_magnification);
}
