#include "zoom/ZoomScrollArea.h"

#include "zoom/PannableImageView.h"

#include <QNativeGestureEvent>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QWheelEvent>
#include <cmath>

namespace {

// Line-based wheels report 120 per notch; a notch counts as one unit of movement.
constexpr double kAngleUnitsPerNotch = 120.0;
constexpr double kPreciseStep = 0.005;
constexpr double kNotchStep = 0.1;
constexpr double kSmallestWheelChange = 0.001;
// Content that overflows the view by less than this gets no scroll bar.
constexpr double kScrollBarSlack = 0.5;

} // namespace

ZoomScrollArea::ZoomScrollArea(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameShape(QFrame::NoFrame);
    // Keys are the window's commands; the surface never takes the focus.
    setFocusPolicy(Qt::NoFocus);
    // The square between the two bars belongs to the black backdrop.
    auto* corner = new QWidget;
    corner->setAutoFillBackground(true);
    QPalette black = corner->palette();
    black.setColor(QPalette::Window, Qt::black);
    corner->setPalette(black);
    setCornerWidget(corner);
    // Wheel events over the scroll bars zoom too.
    horizontalScrollBar()->installEventFilter(this);
    verticalScrollBar()->installEventFilter(this);
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
    // The minimum wins if the two limits ever cross.
    value = std::max(std::min(value, m_maxMagnification), m_minMagnification);
    const double keep = m_magnification / value;
    const QPointF origin = anchor - (anchor - m_bounds.topLeft()) * keep;
    applyBounds(origin, value);
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

bool ZoomScrollArea::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel &&
        (watched == horizontalScrollBar() || watched == verticalScrollBar())) {
        auto* wheel = static_cast<QWheelEvent*>(event);
        const QPointF pos = viewport()->mapFromGlobal(wheel->globalPosition().toPoint()).toPointF();
        const QRectF area = viewport()->rect();
        zoomByWheel(*wheel, {std::clamp(pos.x(), area.left(), area.right()),
                             std::clamp(pos.y(), area.top(), area.bottom())});
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
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

void ZoomScrollArea::scrollContentsBy(int dx, int dy)
{
    if (m_syncingScrollBars)
        return;
    // A scroll bar was moved by the user; the other axis keeps its exact origin.
    QPointF origin = m_bounds.topLeft();
    if (dx != 0)
        origin.setX(horizontalScrollBar()->value() / m_magnification);
    if (dy != 0) {
        const double top = documentSize().height() - verticalScrollBar()->value() / m_magnification;
        origin.setY(top - m_bounds.height());
    }
    applyBounds(origin, m_magnification);
}

void ZoomScrollArea::layoutDocument()
{
    updateMinMagnification();
    if (m_isFitMode && !m_isAutoSizing)
        setMagnification(m_minMagnification);
    else
        applyBounds(m_bounds.topLeft(), m_magnification);
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
    setMagnification(m, mapToDocument(anchorInViewport));
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
        setMagnification(m_magnification * (1 + event->value()), mapToDocument(event->position()));
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
    syncScrollBars();
    if (m_bounds != before || m_magnification != magnificationBefore) {
        viewport()->update();
        Q_EMIT boundsChanged();
    }
}

void ZoomScrollArea::syncScrollBars()
{
    // Showing or hiding a bar resizes the viewport, which lands here again: go round instead.
    if (m_syncingScrollBars) {
        m_syncAgain = true;
        return;
    }
    const QScopedValueRollback guard(m_syncingScrollBars, true);
    for (int round = 0; round < 4; ++round) {
        m_syncAgain = false;
        syncScrollBarsOnce();
        if (!m_syncAgain)
            break;
    }
}

void ZoomScrollArea::syncScrollBarsOnce()
{
    const QSizeF document = documentSize();
    const QSizeF content = document * m_magnification;
    // Whether a bar is needed depends on the whole area, not on the bars showing now.
    const QSizeF whole = maximumViewportSize();
    bool needH = content.width() > whole.width() + kScrollBarSlack;
    bool needV = content.height() > whole.height() + kScrollBarSlack;
    const double barHeight = horizontalScrollBar()->sizeHint().height();
    const double barWidth = verticalScrollBar()->sizeHint().width();
    if (needH && !needV)
        needV = content.height() > whole.height() - barHeight + kScrollBarSlack;
    if (needV && !needH)
        needH = content.width() > whole.width() - barWidth + kScrollBarSlack;

    const QSizeF view = viewport()->size();
    const double fromTop = document.height() - (m_bounds.y() + m_bounds.height());
    auto apply = [](QScrollBar* bar, bool needed, double contentLength, double viewLength,
                    double value) {
        bar->setRange(0, needed ? std::max(0, qRound(contentLength - viewLength)) : 0);
        bar->setPageStep(std::max(1, qRound(viewLength)));
        bar->setSingleStep(std::max(1, qRound(viewLength / 20)));
        bar->setValue(qRound(value));
    };
    apply(horizontalScrollBar(), needH, content.width(), view.width(),
          m_bounds.x() * m_magnification);
    apply(verticalScrollBar(), needV, content.height(), view.height(), fromTop * m_magnification);
}
