#include "zoom/PannableImageView.h"

#include "imaging/support/ImageBuffer.h"
#include "base/FrameTrace.h"
#include "zoom/ZoomGeometry.h"
#include "zoom/ZoomScrollArea.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>
#include <cmath>

namespace {

constexpr double kScaleTolerance = 1e-9;
constexpr int kFadeDurationMs = 150;
// A frame is on screen about this long after it is painted: the fade is drawn as it will be by
// then, so its first frame already shows the new picture coming in.
constexpr double kFrameLeadMs = 1000.0 / 60.0;
// A press must move further than this, in points on screen, before it becomes a drag.
constexpr double kDragThreshold = 3.0;

// Whole device pixels, so that unscaled drawing is a plain copy and stays sharp.
QPointF snappedToDevicePixels(const QPointF& p, double dpr)
{
    return {std::round(p.x() * dpr) / dpr, std::round(p.y() * dpr) / dpr};
}

} // namespace

PannableImageView::PannableImageView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    m_fade = new QVariantAnimation(this);
    m_fade->setStartValue(0.0);
    m_fade->setEndValue(1.0);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this] { update(); });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        m_spareSnapshot = std::exchange(m_fadeSnapshot, QImage());
        update();
    });
    connect(&m_scaledCopy, &ScaledImageCache::copyReady, this, [this] { update(); });
}

PannableImageView::~PannableImageView() = default;

void PannableImageView::setImage(const QImage& image, bool refines)
{
    m_image = image;
    m_scaledCopy.setSource(image, refines);
    update();
}

void PannableImageView::setFrameSize(const QSizeF& size)
{
    if (size == m_frameSize)
        return;
    m_frameSize = size;
    Q_EMIT frameSizeChanged();
    update();
}

void PannableImageView::fadeFromCurrentContent()
{
    if (!isVisible() || size().isEmpty())
        return;
    // Like a layer transition: freeze what is shown (a running fade included), then blend it
    // away over whatever gets drawn from now on.
    const double dpr = devicePixelRatioF();
    // The buffer of the last fade is painted over: fresh memory for a window-sized image costs
    // a step milliseconds in page faults.
    const QSize pixels = size() * dpr;
    QImage snapshot = std::exchange(m_spareSnapshot, QImage());
    if (snapshot.size() != pixels)
        snapshot =
            imaging::newImage(pixels.width(), pixels.height(), QImage::Format_ARGB32_Premultiplied);
    snapshot.setDevicePixelRatio(dpr);
    {
        QPainter painter(&snapshot);
        paintFrame(painter, rect());
    }
    m_spareSnapshot = std::exchange(m_fadeSnapshot, std::move(snapshot));
    m_fade->stop();
    m_fade->setDuration(kFadeDurationMs);
    // Its clock starts now, with the new picture at hand, not at the animation's first tick.
    m_fadeClock.start();
    m_fade->start();
}

double PannableImageView::fadeProgress() const
{
    if (m_fadeSnapshot.isNull() || !m_fadeClock.isValid())
        return 1.0;
    const double elapsed = double(m_fadeClock.nsecsElapsed()) / 1e6;
    return std::clamp((elapsed + kFrameLeadMs) / kFadeDurationMs, 0.0, 1.0);
}

void PannableImageView::prepareFittedCopy(const QImage& image)
{
    const ZoomScrollArea* area = enclosingScrollArea();
    if (!area || !area->isFitMode() || image.isNull())
        return;
    const std::optional<double> fitted =
        zoom::fittedMagnification(QSizeF(image.size()), area->maximumViewportSize());
    if (!fitted || *fitted >= 1 - kScaleTolerance ||
        qint64(image.width()) * image.height() <= ScaledImageCache::kScaleAtOncePixels)
        return;
    const double dpr = devicePixelRatioF();
    const QRectF target(QPointF(), QSizeF(image.size()) * *fitted);
    m_scaledCopy.prepare(image, scaledCopySize(target, dpr), dpr);
}

bool PannableImageView::isScaledCopyReady() const
{
    const ZoomScrollArea* area = enclosingScrollArea();
    if (!area || m_image.isNull())
        return true;
    const QRectF target = area->documentRectInViewport();
    const double dpr = devicePixelRatioF();
    if (target.width() * dpr >= m_image.width() * (1 - kScaleTolerance))
        return true;
    return m_scaledCopy.hasCopy(scaledCopySize(target, dpr), dpr);
}

ZoomScrollArea* PannableImageView::enclosingScrollArea() const
{
    return qobject_cast<ZoomScrollArea*>(parentWidget());
}

bool PannableImageView::isOverImage(const QPointF& viewportPos) const
{
    const ZoomScrollArea* area = enclosingScrollArea();
    return area && area->documentRectInViewport().contains(viewportPos);
}

void PannableImageView::updateHoverCursor(const QPointF& viewportPos)
{
    // Called on every pointer movement: touch the cursor only when it changes.
    if (!isOverImage(viewportPos)) {
        if (testAttribute(Qt::WA_SetCursor))
            unsetCursor();
    } else if (!testAttribute(Qt::WA_SetCursor) || cursor().shape() != Qt::OpenHandCursor) {
        setCursor(Qt::OpenHandCursor);
    }
}

void PannableImageView::mousePressEvent(QMouseEvent* event)
{
    // Presses on the margins around the image are not the image's.
    if (event->button() != Qt::LeftButton || !isOverImage(event->position())) {
        event->ignore();
        return;
    }
    m_lastNavigateWasNext.reset();
    m_pressPosition = event->position();
    m_lastDragPosition = event->position();
    m_isDragging = true;
    m_hasDragged = false;
}

void PannableImageView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isOverImage(event->position())) {
        event->ignore();
        return;
    }
    // The first click of the pair stepped to another image: step back before fitting.
    const std::optional<bool> stepped = std::exchange(m_lastNavigateWasNext, std::nullopt);
    if (stepped)
        Q_EMIT navigateClicked(!*stepped);
    Q_EMIT doubleClicked();
}

void PannableImageView::mouseMoveEvent(QMouseEvent* event)
{
    ZoomScrollArea* area = enclosingScrollArea();
    if (!m_isDragging || !area) {
        updateHoverCursor(event->position());
        return;
    }
    if (!m_hasDragged) {
        // Measured on screen, so a click stays a click at any magnification.
        const QPointF moved = event->position() - m_pressPosition;
        if (std::abs(moved.x()) <= kDragThreshold && std::abs(moved.y()) <= kDragThreshold)
            return;
        m_hasDragged = true;
        setCursor(Qt::ClosedHandCursor);
    }
    // Measured against the pointer's last position on screen, not in the document, which the
    // previous step has moved: so the point taken hold of stays under the pointer.
    const QPointF p = area->mapToDocument(event->position());
    const QPointF delta = p - area->mapToDocument(m_lastDragPosition);
    m_lastDragPosition = event->position();
    const QRectF proposed = area->bounds().translated(-delta);
    area->scrollToPoint(area->constrainBoundsRect(proposed).topLeft());
}

void PannableImageView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_isDragging) {
        event->ignore();
        return;
    }
    m_isDragging = false;
    if (m_hasDragged) {
        updateHoverCursor(event->position());
        return;
    }
    // Clicks step through the folder only while the image is fitted.
    const ZoomScrollArea* area = enclosingScrollArea();
    if (!area || !area->isFitMode())
        return;
    const QPointF p = area->mapToDocument(event->position());
    const bool next = m_frameSize.width() * 0.5 < p.x();
    m_lastNavigateWasNext = next;
    Q_EMIT navigateClicked(next);
}

void PannableImageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const Drawn drawn = paintFrame(painter, event->rect());
    if (!m_traceLabel.isEmpty())
        traceFrame(drawn);
    if (drawn != Drawn::nothing)
        Q_EMIT pictureDrawn();
}

void PannableImageView::traceFrame(Drawn drawn)
{
    // The first stand-in is reported, and so is the first true frame.
    if (drawn == Drawn::nothing || (drawn == Drawn::standIn && m_traceStandInSeen))
        return;
    m_traceStandInSeen = drawn == Drawn::standIn;
    const QString label =
        drawn == Drawn::picture ? std::exchange(m_traceLabel, QString()) : m_traceLabel;
    const QString detail = QStringLiteral("%1 %2x%3%4")
                               .arg(label)
                               .arg(m_image.width())
                               .arg(m_image.height())
                               .arg(drawn == Drawn::standIn ? QStringLiteral(" stand-in")
                                    : showsPreview()        ? QStringLiteral(" preview")
                                                            : QString());
    // Reported from the next turn of the event loop: by then the frame has been flushed to the
    // screen.
    QMetaObject::invokeMethod(
        this, [detail] { base::FrameTrace::note("frame", detail); }, Qt::QueuedConnection);
}

PannableImageView::Drawn PannableImageView::paintFrame(QPainter& painter, const QRect& dirty)
{
    painter.fillRect(dirty, Qt::black);
    const Drawn drawn = paintImage(painter, dirty);
    if (!m_fadeSnapshot.isNull()) {
        painter.setOpacity(1.0 - fadeProgress());
        painter.drawImage(QPointF(0, 0), m_fadeSnapshot);
        painter.setOpacity(1.0);
    }
    return drawn;
}

QSize PannableImageView::scaledCopySize(const QRectF& target, double dpr) const
{
    return {std::max(1, qRound(target.width() * dpr)), std::max(1, qRound(target.height() * dpr))};
}

PannableImageView::Drawn PannableImageView::paintImage(QPainter& painter, const QRect& dirty)
{
    const ZoomScrollArea* area = enclosingScrollArea();
    if (!area || m_image.isNull())
        return Drawn::nothing;
    const QRectF target = area->documentRectInViewport();
    const QRectF visible = target.intersected(QRectF(dirty));
    if (visible.isEmpty())
        return Drawn::nothing;
    const double dpr = painter.device()->devicePixelRatioF();
    // Device pixels per image pixel.
    const double scale = target.width() * dpr / m_image.width();

    // A preview is drawn as it is: it is on screen for moments, and a copy made of it would
    // hold up its first frame.
    if (scale < 1 - kScaleTolerance && showsPreview()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, m_image);
        return Drawn::picture;
    }
    if (scale < 1 - kScaleTolerance) {
        const ScaledImageCache::Copy copy = m_scaledCopy.copyFor(scaledCopySize(target, dpr), dpr);
        if (copy.exact) {
            painter.drawImage(snappedToDevicePixels(target.topLeft(), dpr), copy.image);
            return Drawn::picture;
        }
        // Until the smooth copy arrives: the last copy, or the image itself, stretched.
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, copy.image.isNull() ? m_image : copy.image);
        return Drawn::standIn;
    }
    if (scale < 1 + kScaleTolerance) {
        painter.drawImage(QRectF(snappedToDevicePixels(target.topLeft(), dpr), target.size()),
                          m_image);
        return Drawn::picture;
    }
    // Enlarged: only the part in view is scaled.
    const double perPixelX = target.width() / m_image.width();
    const double perPixelY = target.height() / m_image.height();
    const QRectF source((visible.x() - target.x()) / perPixelX,
                        (visible.y() - target.y()) / perPixelY, visible.width() / perPixelX,
                        visible.height() / perPixelY);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(visible, m_image, source);
    return Drawn::picture;
}
