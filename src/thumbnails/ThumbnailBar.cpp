#include "thumbnails/ThumbnailBar.h"

#include "state/AppState.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr int kStripHeight = 60;
constexpr qreal kCellSize = 44;
constexpr qreal kSpacing = 4;
constexpr qreal kEndSpace = 8;
constexpr qreal kPitch = kCellSize + kSpacing;
constexpr qreal kCornerRadius = 3;
constexpr qreal kOutlineWidth = 2;
constexpr int kScrollMs = 200;
// Cells kept beyond each edge of the visible part, so that a short scroll finds them loaded.
constexpr qint64 kNearCells = 4;
// How long the strip must rest before cells that came into view ask for their pictures.
constexpr int kSettleMs = 100;
// One notch of a mouse wheel scrolls this many cells.
constexpr qreal kWheelCells = 2;

QColor placeholderColour()
{
    QColor colour(Qt::gray);
    colour.setAlphaF(0.3f);
    return colour;
}

// Fills the square cell with the aspect ratio kept, the overflow cut off evenly.
QPixmap cellPicture(const QImage& image, qreal devicePixelRatio)
{
    if (image.isNull())
        return {};
    const int side = std::min(image.width(), image.height());
    const QImage square =
        image.copy((image.width() - side) / 2, (image.height() - side) / 2, side, side);
    const int pixels = std::max(1, qRound(kCellSize * devicePixelRatio));
    QPixmap pixmap = QPixmap::fromImage(
        square.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

qreal dominant(QPoint delta)
{
    return std::abs(delta.x()) > std::abs(delta.y()) ? delta.x() : delta.y();
}

} // namespace

ThumbnailBar::ThumbnailBar(AppState& state, ThumbnailCache& cache, QWidget* parent)
    : QWidget(parent), m_state(state), m_cache(cache), m_scroll(new QVariantAnimation(this)),
      m_settle(new QTimer(this))
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_scroll->setDuration(kScrollMs);
    m_scroll->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_scroll, &QVariantAnimation::valueChanged, this,
            [this](const QVariant& value) { setOffset(value.toReal()); });
    connect(m_scroll, &QVariantAnimation::finished, this, &ThumbnailBar::requestMissing);
    m_settle->setSingleShot(true);
    m_settle->setInterval(kSettleMs);
    connect(m_settle, &QTimer::timeout, this, &ThumbnailBar::requestMissing);
    connect(&m_state, &AppState::currentIndexChanged, this, &ThumbnailBar::scrollToCurrent);
    connect(&m_state, &AppState::imageFilesChanged, this, &ThumbnailBar::filesChanged);
    connect(&m_cache, &ThumbnailCache::thumbnailRemoved, this, &ThumbnailBar::reloadFile);
    connect(&m_cache, &ThumbnailCache::cleared, this, &ThumbnailBar::reloadAll);
}

ThumbnailBar::~ThumbnailBar()
{
    dropCellsIf([](qint64, const Cell&) { return true; });
}

QSize ThumbnailBar::sizeHint() const
{
    return {int(2 * kEndSpace + kCellSize), kStripHeight};
}

qreal ThumbnailBar::maximumScrollOffset() const
{
    const qint64 count = m_state.imageFiles().size();
    const qreal content = 2 * kEndSpace + (count > 0 ? count * kPitch - kSpacing : 0);
    return std::max<qreal>(0, content - width());
}

bool ThumbnailBar::isScrolling() const
{
    return m_scroll->state() == QAbstractAnimation::Running;
}

QRectF ThumbnailBar::cellRect(qint64 position) const
{
    // Whole points, so that pictures stay sharp while the strip moves.
    const qreal left = kEndSpace + qreal(position) * kPitch - std::round(m_offset);
    return {left, (height() - kCellSize) / 2, kCellSize, kCellSize};
}

qint64 ThumbnailBar::positionAt(QPointF point) const
{
    const qint64 position = qint64(std::floor((point.x() + m_offset - kEndSpace) / kPitch));
    if (position < 0 || position >= m_state.imageFiles().size())
        return -1;
    return cellRect(position).contains(point) ? position : -1;
}

std::pair<qint64, qint64> ThumbnailBar::positionsShown(qint64 extra) const
{
    const qint64 count = m_state.imageFiles().size();
    const auto at = [](qreal x) { return qint64(std::floor((x - kEndSpace) / kPitch)); };
    return {std::max<qint64>(0, at(m_offset) - extra),
            std::min(count - 1, at(m_offset + width()) + extra)};
}

void ThumbnailBar::setOffset(qreal offset)
{
    offset = std::clamp(offset, 0.0, maximumScrollOffset());
    if (offset == m_offset)
        return;
    m_offset = offset;
    m_settle->start();
    syncCells();
    update();
}

qreal ThumbnailBar::currentCellOffset() const
{
    const qreal centre = kEndSpace + qreal(m_state.currentIndex()) * kPitch + kCellSize / 2;
    return std::clamp(centre - width() / 2.0, 0.0, maximumScrollOffset());
}

void ThumbnailBar::scrollToCurrent()
{
    update();
    if (!isVisible())
        return;
    const qreal target = currentCellOffset();
    m_scroll->stop();
    // The strip that has just appeared is put in place, not scrolled there.
    if (m_appearing) {
        setOffset(target);
        return;
    }
    if (target == m_offset)
        return;
    m_scroll->setStartValue(m_offset);
    m_scroll->setEndValue(target);
    m_scroll->start();
}

void ThumbnailBar::filesChanged()
{
    // Cells stay by position; one whose file changed loads the new file's picture.
    const QList<QUrl>& files = m_state.imageFiles();
    dropCellsIf([&](qint64 position, const Cell& cell) {
        return position >= files.size() || files.at(position) != cell.url;
    });
    setOffset(m_offset);
    syncCells();
    update();
}

void ThumbnailBar::reloadFile(const QUrl& url)
{
    for (const auto& [position, cell] : m_cells) {
        if (cell.url == url) {
            m_cache.cancel(cell.ticket);
            requestPicture(position);
        }
    }
}

void ThumbnailBar::reloadAll()
{
    for (const auto& [position, cell] : m_cells) {
        if (!cell.asked)
            continue;
        m_cache.cancel(cell.ticket);
        requestPicture(position);
    }
}

void ThumbnailBar::syncCells()
{
    if (!isVisible())
        return;
    const QList<QUrl>& files = m_state.imageFiles();
    const auto [first, last] = positionsShown(kNearCells);
    dropCellsIf([&](qint64 position, const Cell&) { return position < first || position > last; });
    for (qint64 position = first; position <= last; ++position) {
        if (m_cells.count(position))
            continue;
        Cell& cell = m_cells[position];
        cell.url = files.at(position);
        ++m_cellsCreated;
        if (const std::optional<QImage> hit = m_cache.cached(cell.url)) {
            cell.asked = true;
            setPicture(position, cell.url, hit);
        }
    }
    // Cells that fly past while the strip moves cost no decode: they ask once it rests.
    if (!isScrolling() && !m_settle->isActive())
        requestMissing();
}

void ThumbnailBar::requestMissing()
{
    for (const auto& [position, cell] : m_cells) {
        if (!cell.asked)
            requestPicture(position);
    }
}

void ThumbnailBar::dropCellsIf(const std::function<bool(qint64, const Cell&)>& drop)
{
    for (auto it = m_cells.begin(); it != m_cells.end();) {
        if (drop(it->first, it->second)) {
            m_cache.cancel(it->second.ticket);
            it = m_cells.erase(it);
        } else {
            ++it;
        }
    }
}

void ThumbnailBar::requestPicture(qint64 position)
{
    const QUrl url = m_cells.at(position).url;
    m_cells.at(position).asked = true;
    // A hit answers at once, before the ticket is stored.
    const ThumbnailCache::Ticket ticket =
        m_cache.loadThumbnail(url, this, [this, position, url](const std::optional<QImage>& image) {
            setPicture(position, url, image);
        });
    m_cells.at(position).ticket = ticket;
}

void ThumbnailBar::setPicture(qint64 position, const QUrl& url, const std::optional<QImage>& image)
{
    const auto found = m_cells.find(position);
    if (found == m_cells.end() || found->second.url != url)
        return;
    found->second.ticket = 0;
    found->second.picture = image ? cellPicture(*image, devicePixelRatioF()) : QPixmap();
    update(cellRect(position).toAlignedRect());
}

void ThumbnailBar::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(0, 0, 0, 204));
    painter.setRenderHint(QPainter::Antialiasing);
    const auto [first, last] = positionsShown(0);
    for (qint64 position = first; position <= last; ++position) {
        const QRectF cell = cellRect(position);
        if (!event->rect().intersects(cell.adjusted(-1, -1, 1, 1).toAlignedRect()))
            continue;
        QPainterPath outline;
        outline.addRoundedRect(cell, kCornerRadius, kCornerRadius);
        const auto found = m_cells.find(position);
        if (found != m_cells.end() && !found->second.picture.isNull()) {
            painter.save();
            painter.setClipPath(outline);
            painter.drawPixmap(cell.topLeft(), found->second.picture);
            painter.restore();
        } else {
            painter.fillPath(outline, placeholderColour());
        }
        if (position == m_state.currentIndex())
            painter.strokePath(outline, QPen(Qt::white, kOutlineWidth));
    }
}

void ThumbnailBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pressed = positionAt(event->position());
}

void ThumbnailBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const qint64 pressed = std::exchange(m_pressed, -1);
    if (pressed >= 0 && positionAt(event->position()) == pressed)
        m_state.goToImage(pressed);
}

void ThumbnailBar::wheelEvent(QWheelEvent* event)
{
    const QPoint pixels = event->pixelDelta();
    const qreal delta = pixels.isNull()
                            ? dominant(event->angleDelta()) / 120.0 * kWheelCells * kPitch
                            : dominant(pixels);
    m_scroll->stop();
    setOffset(m_offset - delta);
}

void ThumbnailBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setOffset(m_appearing ? currentCellOffset() : m_offset);
    syncCells();
}

void ThumbnailBar::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // A strip that appears shows the current cell at once, also after changes of the current
    // image made in the same turn of the event loop (opening a file) and its first layout.
    m_scroll->stop();
    m_offset = currentCellOffset();
    m_appearing = true;
    QTimer::singleShot(0, this, [this] { m_appearing = false; });
    syncCells();
}

void ThumbnailBar::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    if (event->spontaneous())
        return;
    m_scroll->stop();
    m_settle->stop();
    dropCellsIf([](qint64, const Cell&) { return true; });
}
