#include "overlays/HistogramView.h"

#include "base/BackgroundTask.h"
#include "overlays/HistogramPlot.h"
#include "state/AppState.h"

#include <QLabel>
#include <QVBoxLayout>

#include <utility>

namespace {
constexpr int kSpacing = 8;
constexpr int kTitleGap = 2;
} // namespace

HistogramView::HistogramView(AppState& state, QWidget* parent)
    : OverlayCard(parent), m_state(state), m_plot(new HistogramPlot)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(kSpacing);
    QLabel* title = makeTitle(tr("Histogram"));
    title->setContentsMargins(0, 0, 0, kTitleGap);
    column->addWidget(title);
    column->addWidget(m_plot, 0, Qt::AlignHCenter);
    column->setSizeConstraint(QLayout::SetFixedSize);

    connect(&m_state, &AppState::currentImageChanged, this, [this] {
        m_nextFrame = QImage();
        if (isVisible())
            recount();
    });
}

const std::optional<imaging::HistogramData>& HistogramView::data() const
{
    return m_plot->data();
}

void HistogramView::showEvent(QShowEvent*)
{
    recount();
}

void HistogramView::recount()
{
    const std::optional<QImage>& image = m_state.currentImage();
    const qint64 key = image ? image->cacheKey() : 0;
    if (key == m_shownKey && (m_plot->data() || key == m_countingKey))
        return;
    m_shownKey = key;
    m_plot->setData(std::nullopt);
    if (!image || key == m_countingKey)
        return;
    m_countingKey = key;
    // On the work pool, not Qt's global one, which the painter waits on; if the view goes
    // first, the count finishes unheard.
    base::runInBackground(
        this, [counter = m_counter, picture = *image] { return counter(picture); },
        [this, key](const std::optional<imaging::HistogramData>& data) { accept(key, data); });
}

void HistogramView::accept(qint64 imageKey, const std::optional<imaging::HistogramData>& data)
{
    if (imageKey == m_countingKey)
        m_countingKey = 0;
    const std::optional<QImage>& image = m_state.currentImage();
    if (!image || image->cacheKey() != imageKey || imageKey != m_shownKey)
        return;
    // No counts (no pixels to read): the indicator keeps spinning.
    if (data)
        m_plot->setData(data);
}

void HistogramView::showFrame(const QImage& frame)
{
    if (!isVisible() || frame.isNull())
        return;
    // Frames come faster than a large one is counted: only the latest waits.
    m_nextFrame = frame;
    if (!m_countingFrame)
        countNextFrame();
}

void HistogramView::countNextFrame()
{
    const QImage frame = std::exchange(m_nextFrame, QImage());
    if (frame.isNull())
        return;
    m_countingFrame = true;
    // Counts of a frame of an image no longer shown are dropped.
    const qint64 owner = m_shownKey;
    base::runInBackground(
        this, [counter = m_counter, frame] { return counter(frame); },
        [this, owner](const std::optional<imaging::HistogramData>& data) {
            m_countingFrame = false;
            const std::optional<QImage>& image = m_state.currentImage();
            if (data && image && image->cacheKey() == owner && owner == m_shownKey)
                m_plot->setData(data);
            countNextFrame();
        });
}
