#pragma once

#include "imaging/pixels/Histogram.h"

#include <QWidget>

class QTimer;

// Draws one channel as a translucent filled curve over the plot: counts on a logarithmic
// scale, ln(c + 1), normalised to the channel's own largest value, so every channel with any
// count reaches the top. Draws nothing for a channel without counts.
void drawChannel(QPainter& painter, const imaging::HistogramData::Counts& counts,
                 const QColor& colour, const QSizeF& plotSize);

// The 256 × 120 plot: the three curves once counts are there, a spinning indicator until then.
class HistogramPlot : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize kSize{256, 120};

    explicit HistogramPlot(QWidget* parent = nullptr);

    const std::optional<imaging::HistogramData>& data() const { return m_data; }
    void setData(const std::optional<imaging::HistogramData>& data);
    bool isSpinning() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void updateSpinner();
    void paintSpinner(QPainter& painter);

    std::optional<imaging::HistogramData> m_data;
    QTimer* m_spin;
    int m_phase = 0;
};
