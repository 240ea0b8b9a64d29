#pragma once

#include "imaging/pixels/Histogram.h"
#include "overlays/OverlayCard.h"

#include <functional>

class AppState;
class HistogramPlot;

// The "Histogram" card: red, green and blue distributions of the shown image. The counts
// are made in the background whenever the shown image changes while the card is on screen;
// until they arrive the plot spins. The latest image wins: counts that come back for an
// image no longer shown are dropped.
class HistogramView : public OverlayCard {
    Q_OBJECT

public:
    using Counter = std::function<std::optional<imaging::HistogramData>(const QImage&)>;

    explicit HistogramView(AppState& state, QWidget* parent = nullptr);

    // Counts of the shown image once they have arrived; none while counting.
    const std::optional<imaging::HistogramData>& data() const;
    HistogramPlot* plot() const { return m_plot; }

    // What runs on the worker thread; computeHistogram unless a test replaces it.
    void setCounter(Counter counter) { m_counter = std::move(counter); }

    // A frame of the shown image's animation went up: counted in the background, one frame
    // at a time and then the latest, while the plot keeps the counts it has rather than spin.
    void showFrame(const QImage& frame);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void recount();
    void accept(qint64 imageKey, const std::optional<imaging::HistogramData>& data);
    void countNextFrame();

    AppState& m_state;
    HistogramPlot* m_plot;
    Counter m_counter = imaging::computeHistogram;
    // The image whose counts the plot holds, and the one being counted (0: none).
    qint64 m_shownKey = 0;
    qint64 m_countingKey = 0;
    // The latest frame not yet counted, and whether a frame is being counted.
    QImage m_nextFrame;
    bool m_countingFrame = false;
};
