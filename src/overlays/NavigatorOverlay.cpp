#include "overlays/NavigatorOverlay.h"

#include "base/BackgroundTask.h"
#include "imaging/pixels/ScreenCopy.h"
#include "overlays/NavigatorGeometry.h"
#include "state/AppState.h"

#include <QGraphicsDropShadowEffect>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace {

constexpr qreal kCornerRadius = 4;
constexpr qreal kOutlineWidth = 1.5;
constexpr qreal kOutlineOpacity = 0.8;
// Brightness -0.3 of the full range.
constexpr int kDarkening = 77;

struct Copies {
    QImage bright;
    QImage dark;
};

Copies makeCopies(const QImage& image, const QSize& pixels, Qt::TransformationMode mode)
{
    Copies copies;
    copies.bright =
        (mode == Qt::SmoothTransformation ? imaging::smoothCopy(image, pixels)
                                          : image.scaled(pixels, Qt::IgnoreAspectRatio, mode))
            .convertToFormat(QImage::Format_ARGB32);
    copies.dark = copies.bright;
    for (int y = 0; y < copies.dark.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(copies.dark.scanLine(y));
        for (int x = 0; x < copies.dark.width(); ++x) {
            const QRgb c = line[x];
            line[x] = qRgba(std::max(qRed(c) - kDarkening, 0), std::max(qGreen(c) - kDarkening, 0),
                            std::max(qBlue(c) - kDarkening, 0), qAlpha(c));
        }
    }
    return copies;
}

} // namespace

NavigatorOverlay::NavigatorOverlay(AppState& state, QWidget* parent)
    : QWidget(parent), m_state(state)
{
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, 128));
    shadow->setBlurRadius(8);
    shadow->setOffset(0, 0);
    setGraphicsEffect(shadow);

    connect(&m_state, &AppState::currentImageChanged, this, [this] {
        if (isVisible()) {
            refreshCopies();
            update();
        }
    });
    connect(&m_state, &AppState::visibleRectChanged, this, [this] {
        if (isVisible())
            update();
    });
}

QSizeF NavigatorOverlay::miniMapSize() const
{
    const std::optional<QImage>& image = m_state.currentImage();
    return navigator::miniMapSize(image ? QSizeF(image->size()) : QSizeF(), kMaxDimension);
}

QSize NavigatorOverlay::sizeHint() const
{
    const QSizeF map = miniMapSize();
    return {int(std::ceil(map.width())), int(std::ceil(map.height()))};
}

void NavigatorOverlay::refreshCopies()
{
    const std::optional<QImage>& image = m_state.currentImage();
    const qint64 key = image ? image->cacheKey() : 0;
    if (key == m_copyKey)
        return;
    m_copyKey = key;
    m_smooth = false;
    if (!image) {
        m_bright = m_dark = QImage();
        return;
    }
    const QSize pixels = (QSizeF(sizeHint()) * devicePixelRatioF()).toSize();
    // A sampled copy at once; the smooth one reads every pixel, which takes a while for a
    // large photograph, so it is made in the background.
    Copies quick = makeCopies(*image, pixels, Qt::FastTransformation);
    m_bright = std::move(quick.bright);
    m_dark = std::move(quick.dark);
    // On the work pool, not Qt's global one, which the painter waits on.
    base::runInBackground(
        this,
        [picture = *image, pixels] { return makeCopies(picture, pixels, Qt::SmoothTransformation); },
        [this, key](Copies smooth) {
            if (key != m_copyKey)
                return;
            m_bright = std::move(smooth.bright);
            m_dark = std::move(smooth.dark);
            m_smooth = true;
            update();
        });
}

void NavigatorOverlay::paintEvent(QPaintEvent*)
{
    refreshCopies();
    if (m_bright.isNull())
        return;
    const QSizeF map = miniMapSize();
    const QRectF area(QPointF(0, 0), map);
    const QRectF viewport = navigator::viewportRect(m_state.visibleRect(), map);
    const qreal ratio = devicePixelRatioF();
    QImage layer((QSizeF(size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter painter(&layer);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(area, m_dark);
        painter.save();
        painter.setClipRect(viewport);
        painter.drawImage(area, m_bright);
        painter.restore();

        painter.setRenderHint(QPainter::Antialiasing);
        QPen outline(QColor::fromRgbF(1, 1, 1, kOutlineOpacity), kOutlineWidth, Qt::SolidLine,
                     Qt::FlatCap, Qt::MiterJoin);
        outline.setMiterLimit(10);
        painter.setPen(outline);
        painter.drawRect(viewport);

        // The rounded clip, with smooth corners: clear the layer outside it.
        QPainterPath outside, rounded;
        outside.addRect(layer.rect());
        rounded.addRoundedRect(area, kCornerRadius, kCornerRadius);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
        painter.fillPath(outside.subtracted(rounded), Qt::black);
    }
    QPainter(this).drawImage(QPointF(0, 0), layer);
}

void NavigatorOverlay::navigate(const QPointF& position)
{
    m_dragging = true;
    m_state.setIsNavigatorDragging(true);
    m_state.setScrollTarget(navigator::imagePoint(position, miniMapSize()));
}

void NavigatorOverlay::endDrag()
{
    if (!std::exchange(m_dragging, false))
        return;
    m_state.setIsNavigatorDragging(false);
}

void NavigatorOverlay::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    navigate(event->position());
}

void NavigatorOverlay::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging)
        navigate(event->position());
}

void NavigatorOverlay::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        endDrag();
}

void NavigatorOverlay::showEvent(QShowEvent*)
{
    refreshCopies();
}

void NavigatorOverlay::hideEvent(QHideEvent*)
{
    // A release that never comes (the image went away mid-drag) must not leave the
    // navigator pinned on screen for the next image.
    endDrag();
}
