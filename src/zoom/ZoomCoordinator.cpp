#include "zoom/ZoomCoordinator.h"

#include "base/FrameTrace.h"
#include "zoom/ImageRotation.h"
#include "zoom/PannableImageView.h"
#include "zoom/WindowAutoSize.h"
#include "zoom/ZoomGeometry.h"
#include "zoom/ZoomScrollArea.h"

#include <QFileInfo>

namespace {

constexpr double kZoomStep = 1.5;

} // namespace

ZoomCoordinator::ZoomCoordinator(QObject* parent) : QObject(parent)
{
    connect(&m_player, &FramePlayer::frameReady, this, &ZoomCoordinator::showFrame);
}

ZoomCoordinator::~ZoomCoordinator() = default;

ZoomScrollArea* ZoomCoordinator::makeScrollArea(QWidget* parent)
{
    auto* area = new ZoomScrollArea(parent);
    area->setMaxMagnification(zoom::kMaxMagnification);
    auto* view = new PannableImageView;
    area->setDocumentView(view);
    m_scrollArea = area;
    m_imageView = view;

    connect(area, &ZoomScrollArea::boundsChanged, this, &ZoomCoordinator::reportState);
    connect(area, &ZoomScrollArea::liveMagnifyDidEnd, this, &ZoomCoordinator::reportState);
    connect(area, &ZoomScrollArea::liveMagnifyWillStart, this, [this] {
        if (m_scrollArea)
            m_scrollArea->setFitMode(false);
    });
    return area;
}

PannableImageView* ZoomCoordinator::imageView() const
{
    return m_imageView;
}

void ZoomCoordinator::update(const ZoomParameters& p)
{
    if (!m_imageView || !m_scrollArea)
        return;
    applyImage(p);
    applyZoomAction(p);
    applyScrollTarget(p);
    m_isReporting = true;
}

void ZoomCoordinator::reportState()
{
    if (!m_scrollArea || !m_isReporting)
        return;
    const QSizeF document = m_scrollArea->documentSize();
    if (!(document.width() > 0) || !(document.height() > 0))
        return;
    Q_EMIT stateChanged(m_scrollArea->magnification(),
                        zoom::normalisedVisibleRect(m_scrollArea->bounds(), document));
}

void ZoomCoordinator::retire()
{
    m_isReporting = false;
    m_followUps.clear();
    m_player.stop();
}

void ZoomCoordinator::applyImage(const ZoomParameters& p)
{
    if (!p.image) {
        // What is shown stays, but an animation hidden behind the empty state stops.
        m_player.stop();
        m_sourcePath.clear();
        return;
    }
    const bool isNewImage = !m_sourceImage || m_sourceImage->cacheKey() != p.image->cacheKey();
    // The whole picture arriving for its preview on screen: the same document, sharper.
    const bool refinesPreview = isNewImage && !m_fullSize.isEmpty() && p.fullSize.isEmpty() &&
                                p.sourcePath == m_sourcePath && p.image->size() == m_fullSize;
    if ((isNewImage && !refinesPreview) || p.sourcePath != m_sourcePath) {
        m_sourcePath = p.sourcePath;
        m_player.play(m_sourcePath);
    }
    if (!isNewImage && p.rotation == m_currentRotation && p.fullSize == m_fullSize)
        return;

    const double savedMagnification = m_scrollArea->magnification();
    const bool replacesImage = m_sourceImage.has_value();
    m_sourceImage = p.image;
    m_fullSize = p.fullSize;
    m_currentRotation = p.rotation;
    m_displayedImage = p.rotation == 0 ? *p.image : zoom::rotatedImage(*p.image, p.rotation);
    // The first image of a surface appears without a fade.
    if (replacesImage && !refinesPreview)
        m_imageView->fadeFromCurrentContent();
    m_imageView->setImage(*m_displayedImage, refinesPreview);
    m_imageView->setFrameSize(documentSize());
    if (base::FrameTrace::isOn())
        m_imageView->traceNextFrame(QFileInfo(m_sourcePath).fileName());
    // The document keeps its size: the zoom and the window stay as they are.
    if (refinesPreview)
        return;

    const QPointer<ZoomScrollArea> area = m_scrollArea;
    if (!p.isAutoSizeWindow && replacesImage && area->isFitMode()) {
        // A step in the fitted view is drawn at once, fitted already: its first frame waits for
        // no follow-up and no second turn of the event loop. The follow-up below reports it.
        area->updateMinMagnification();
        area->setMagnification(area->minMagnification());
        m_imageView->repaint();
    }
    if (!p.isAutoSizeWindow) {
        // Stepping to another image keeps the zoom, unless fitted or below the new fit.
        m_followUps.post([this, area, savedMagnification] {
            if (!area)
                return;
            area->updateMinMagnification();
            const bool keep = !area->isFitMode() && savedMagnification >= area->minMagnification();
            area->setMagnification(keep ? savedMagnification : area->minMagnification());
            reportState();
        });
        return;
    }
    area->setAutoSizing(true);
    const QSizeF size = documentSize();
    m_followUps.post([this, area, size] {
        zoom::resizeWindowToImage(area, size);
        m_followUps.post(fitAfterAutoSize({}));
    });
}

std::function<void()> ZoomCoordinator::fitAfterAutoSize(std::function<void()> consumed)
{
    return [this, area = QPointer<ZoomScrollArea>(m_scrollArea), consumed] {
        if (area) {
            area->setAutoSizing(false);
            area->updateMinMagnification();
            area->setFitMode(true);
            area->setMagnification(area->minMagnification());
        }
        consumedThenReport(consumed);
    };
}

void ZoomCoordinator::consumedThenReport(const std::function<void()>& consumed)
{
    // The receiver may tear the surface down.
    const QPointer<ZoomCoordinator> self(this);
    if (consumed)
        consumed();
    if (self)
        reportState();
}

void ZoomCoordinator::applyZoomAction(const ZoomParameters& p)
{
    if (!p.zoomAction)
        return;
    ZoomScrollArea* area = m_scrollArea;
    const ZoomAction action = *p.zoomAction;
    const auto consumed = [this] { Q_EMIT zoomActionConsumed(); };
    if (action == ZoomAction::fit && p.isAutoSizeWindow && m_displayedImage) {
        area->setAutoSizing(true);
        zoom::resizeWindowToImage(area, documentSize());
        m_followUps.post(fitAfterAutoSize(consumed));
        return;
    }
    area->updateMinMagnification();
    const QPointF centre = area->bounds().center();
    const double current = area->magnification();
    switch (action) {
    case ZoomAction::fit:
        area->setFitMode(true);
        area->updateMinMagnification();
        area->setMagnification(area->minMagnification());
        break;
    case ZoomAction::actualSize:
        area->setFitMode(false);
        area->setMagnification(std::max(area->minMagnification(), 1.0), centre);
        break;
    case ZoomAction::zoomIn: {
        area->setFitMode(false);
        const double m = current * kZoomStep;
        area->setMagnification(m >= area->maxMagnification() ? area->maxMagnification() : m,
                               centre);
        break;
    }
    case ZoomAction::zoomOut: {
        area->setFitMode(false);
        const double m = current / kZoomStep;
        area->setMagnification(m < area->minMagnification() ? area->minMagnification() : m, centre);
        break;
    }
    }
    m_followUps.post([this, consumed] { consumedThenReport(consumed); });
}

void ZoomCoordinator::applyScrollTarget(const ZoomParameters& p)
{
    if (!p.scrollTarget || !m_scrollArea->documentView())
        return;
    const QSizeF document = m_scrollArea->documentSize();
    const QSizeF visible = m_scrollArea->bounds().size();
    m_scrollArea->scrollToPoint({p.scrollTarget->x() * document.width() - visible.width() * 0.5,
                                 p.scrollTarget->y() * document.height() - visible.height() * 0.5});
    const auto consumed = [this] { Q_EMIT scrollTargetConsumed(); };
    m_followUps.post([this, consumed] { consumedThenReport(consumed); });
}

QSizeF ZoomCoordinator::documentSize() const
{
    if (!m_fullSize.isEmpty())
        return QSizeF(
            zoom::rotatedCanvasSize(m_fullSize.width(), m_fullSize.height(), m_currentRotation));
    return m_displayedImage ? QSizeF(m_displayedImage->size()) : QSizeF();
}

void ZoomCoordinator::showFrame(const QImage& frame)
{
    if (!m_imageView)
        return;
    m_displayedImage =
        m_currentRotation == 0 ? frame : zoom::rotatedImage(frame, m_currentRotation);
    m_imageView->setImage(*m_displayedImage);
    m_imageView->setFrameSize(QSizeF(m_displayedImage->size()));
}
