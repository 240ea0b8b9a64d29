#include "zoom/OverlayScrollBar.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>
#include <algorithm>

namespace {

constexpr int kHideDelayMs = 1000;
constexpr int kFadeOutMs = 300;
constexpr int kFadeInMs = 80;
constexpr double kMinThumbLength = 24;
constexpr double kInset = 2;
// Less than this unseen (a rounding remnant) needs no bar.
constexpr double kSlack = 1e-3;

} // namespace

OverlayScrollBar::OverlayScrollBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation), m_fade(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    hide();
    m_hideTimer.setSingleShot(true);
    m_hideTimer.setInterval(kHideDelayMs);
    connect(&m_hideTimer, &QTimer::timeout, this, [this] { fadeTo(0); });
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        m_opacity = value.toDouble();
        update();
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        if (m_opacity <= 0)
            hide();
    });
}

OverlayScrollBar::~OverlayScrollBar() = default;

void OverlayScrollBar::setSpan(double start, double length)
{
    length = std::clamp(length, 0.0, 1.0);
    start = std::clamp(start, 0.0, 1.0 - length);
    if (start == m_start && length == m_length)
        return;
    m_start = start;
    m_length = length;
    if (!isNeeded()) {
        m_fade->stop();
        m_hideTimer.stop();
        m_opacity = 0;
        hide();
    }
    update();
}

bool OverlayScrollBar::isNeeded() const
{
    return m_length < 1 - kSlack;
}

void OverlayScrollBar::flash()
{
    if (!isNeeded())
        return;
    show();
    raise();
    fadeTo(1);
    scheduleFade();
}

void OverlayScrollBar::scheduleFade()
{
    if (m_isHovered || m_grabOffset)
        m_hideTimer.stop();
    else
        m_hideTimer.start();
}

void OverlayScrollBar::fadeTo(double target)
{
    if (m_fade->state() == QAbstractAnimation::Running && m_fade->endValue().toDouble() == target)
        return;
    m_fade->stop();
    if (m_opacity == target) {
        if (target <= 0)
            hide();
        return;
    }
    m_fade->setStartValue(m_opacity);
    m_fade->setEndValue(target);
    m_fade->setDuration(target > m_opacity ? kFadeInMs : kFadeOutMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    m_fade->start();
}

double OverlayScrollBar::along(const QPointF& pos) const
{
    return m_orientation == Qt::Horizontal ? pos.x() : pos.y();
}

double OverlayScrollBar::trackLength() const
{
    return (m_orientation == Qt::Horizontal ? width() : height()) - 2 * kInset;
}

QRectF OverlayScrollBar::thumbRect() const
{
    const double track = trackLength();
    const double thumb = std::min(track, std::max(kMinThumbLength, m_length * track));
    const double room = 1 - m_length;
    const double offset = room > 0 ? m_start / room * (track - thumb) : 0;
    const double across = kThickness - 2 * kInset;
    if (m_orientation == Qt::Horizontal)
        return {kInset + offset, kInset, thumb, across};
    return {kInset, kInset + offset, across, thumb};
}

void OverlayScrollBar::paintEvent(QPaintEvent*)
{
    if (m_opacity <= 0)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(m_opacity);
    painter.setPen(Qt::NoPen);
    const double radius = (kThickness - 2 * kInset) / 2.0;
    painter.setBrush(QColor(0, 0, 0, m_isHovered || m_grabOffset ? 140 : 90));
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), radius + 1, radius + 1);
    painter.setBrush(QColor(255, 255, 255, m_isHovered || m_grabOffset ? 200 : 140));
    painter.drawRoundedRect(thumbRect(), radius, radius);
}

void OverlayScrollBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const QRectF thumb = thumbRect();
    const double pos = along(event->position());
    const double thumbStart = m_orientation == Qt::Horizontal ? thumb.left() : thumb.top();
    const double thumbLength = m_orientation == Qt::Horizontal ? thumb.width() : thumb.height();
    if (pos >= thumbStart && pos <= thumbStart + thumbLength) {
        m_grabOffset = pos - thumbStart;
    } else {
        // A click on the track brings the thumb's middle there.
        m_grabOffset = thumbLength / 2;
        mouseMoveEvent(event);
    }
    m_hideTimer.stop();
    update();
}

void OverlayScrollBar::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_grabOffset)
        return;
    const QRectF thumb = thumbRect();
    const double thumbLength = m_orientation == Qt::Horizontal ? thumb.width() : thumb.height();
    const double room = trackLength() - thumbLength;
    if (room <= 0)
        return;
    const double offset = std::clamp(along(event->position()) - kInset - *m_grabOffset, 0.0, room);
    Q_EMIT dragged(offset / room * (1 - m_length));
}

void OverlayScrollBar::mouseReleaseEvent(QMouseEvent*)
{
    m_grabOffset.reset();
    scheduleFade();
    update();
}

void OverlayScrollBar::wheelEvent(QWheelEvent* event)
{
    // The wheel zooms, over the bars as anywhere on the picture: the owner gets it.
    QWidget* owner = parentWidget();
    if (!owner) {
        event->ignore();
        return;
    }
    QWheelEvent copy(mapToParent(event->position()), event->globalPosition(), event->pixelDelta(),
                     event->angleDelta(), event->buttons(), event->modifiers(), event->phase(),
                     event->inverted(), event->source(), event->pointingDevice());
    QCoreApplication::sendEvent(owner, &copy);
    event->setAccepted(copy.isAccepted());
}

void OverlayScrollBar::enterEvent(QEnterEvent*)
{
    m_isHovered = true;
    if (isNeeded())
        fadeTo(1);
    m_hideTimer.stop();
    update();
}

void OverlayScrollBar::leaveEvent(QEvent*)
{
    m_isHovered = false;
    scheduleFade();
    update();
}
