#include "overlays/HistogramPlot.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <cmath>

namespace {
constexpr int kSpokes = 12;
constexpr int kSpinIntervalMs = 80;
constexpr qreal kFillOpacity = 0.3;
constexpr qreal kStrokeOpacity = 0.7;
} // namespace

void drawChannel(QPainter& painter, const imaging::HistogramData::Counts& counts,
                 const QColor& colour, const QSizeF& plotSize)
{
    std::array<double, 256> levels{};
    double highest = 0;
    for (size_t i = 0; i < counts.size(); ++i) {
        levels[i] = counts[i] < 1 ? 0.0 : std::log(double(counts[i]) + 1);
        highest = std::max(highest, levels[i]);
    }
    if (!(highest > 0))
        return;
    const double w = plotSize.width(), h = plotSize.height();
    QPainterPath path(QPointF(0, h));
    for (size_t i = 0; i < levels.size(); ++i)
        path.lineTo(w * double(i) / 255.0, h - h * levels[i] / highest);
    path.lineTo(w, h);
    path.closeSubpath();
    path.setFillRule(Qt::WindingFill);

    QColor fill = colour, stroke = colour;
    fill.setAlphaF(kFillOpacity);
    stroke.setAlphaF(kStrokeOpacity);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, fill);
    painter.strokePath(path, QPen(stroke, 1));
    painter.restore();
}

HistogramPlot::HistogramPlot(QWidget* parent) : QWidget(parent), m_spin(new QTimer(this))
{
    setFixedSize(kSize);
    m_spin->setInterval(kSpinIntervalMs);
    connect(m_spin, &QTimer::timeout, this, [this] {
        m_phase = (m_phase + 1) % kSpokes;
        update();
    });
}

void HistogramPlot::setData(const std::optional<imaging::HistogramData>& data)
{
    m_data = data;
    updateSpinner();
    update();
}

bool HistogramPlot::isSpinning() const
{
    return m_spin->isActive();
}

void HistogramPlot::updateSpinner()
{
    if (!m_data && isVisible())
        m_spin->start();
    else
        m_spin->stop();
}

void HistogramPlot::showEvent(QShowEvent*)
{
    updateSpinner();
}

void HistogramPlot::hideEvent(QHideEvent*)
{
    updateSpinner();
}

void HistogramPlot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_data) {
        paintSpinner(painter);
        return;
    }
    // Blue last, on top.
    drawChannel(painter, m_data->red, Qt::red, size());
    drawChannel(painter, m_data->green, Qt::green, size());
    drawChannel(painter, m_data->blue, Qt::blue, size());
}

void HistogramPlot::paintSpinner(QPainter& painter)
{
    // Spokes round the centre, the brightest one moving on each tick.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    for (int i = 0; i < kSpokes; ++i) {
        const int age = (m_phase - i + kSpokes) % kSpokes;
        QColor colour(Qt::white);
        colour.setAlphaF(1.0 - 0.75 * age / kSpokes);
        painter.setPen(QPen(colour, 2, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / kSpokes);
        painter.drawLine(QPointF(0, -6), QPointF(0, -11));
        painter.restore();
    }
}
