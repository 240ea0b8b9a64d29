#include "zoom/ZoomableImageView.h"

#include "zoom/PannableImageView.h"
#include "zoom/ZoomCoordinator.h"
#include "zoom/ZoomScrollArea.h"

#include <QVBoxLayout>

namespace {

bool sameImage(const std::optional<QImage>& a, const std::optional<QImage>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || a->cacheKey() == b->cacheKey();
}

} // namespace

ZoomableImageView::ZoomableImageView(QWidget* parent) : QWidget(parent)
{
    m_coordinator = new ZoomCoordinator(this);
    m_scrollArea = m_coordinator->makeScrollArea(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_scrollArea);

    // What the parts say is the surface's to say.
    const PannableImageView* view = m_coordinator->imageView();
    connect(m_coordinator, &ZoomCoordinator::zoomActionConsumed, this,
            &ZoomableImageView::zoomActionConsumed);
    connect(m_coordinator, &ZoomCoordinator::scrollTargetConsumed, this,
            &ZoomableImageView::scrollTargetConsumed);
    connect(m_coordinator, &ZoomCoordinator::stateChanged, this, &ZoomableImageView::stateChanged);
    connect(view, &PannableImageView::doubleClicked, this, &ZoomableImageView::doubleClicked);
    connect(view, &PannableImageView::navigateClicked, this, &ZoomableImageView::navigateClicked);
    connect(view, &PannableImageView::pictureDrawn, this, &ZoomableImageView::pictureDrawn);
    connect(m_scrollArea, &ZoomScrollArea::magnifiedByUser, this,
            &ZoomableImageView::magnifiedByUser);
}

ZoomableImageView::~ZoomableImageView() = default;

void ZoomableImageView::setImage(const std::optional<QImage>& image)
{
    if (sameImage(image, m_parameters.image) && m_parameters.fullSize.isEmpty())
        return;
    m_parameters.image = image;
    m_parameters.fullSize = QSize();
    scheduleUpdate();
}

void ZoomableImageView::setPreview(const QImage& preview, const QSize& fullSize,
                                   const QString& sourcePath)
{
    if (!sameImage(preview, m_parameters.image) || fullSize != m_parameters.fullSize) {
        m_parameters.image = preview;
        m_parameters.fullSize = fullSize;
        scheduleUpdate();
    }
    setSourcePath(sourcePath);
}

void ZoomableImageView::setSourcePath(const QString& path)
{
    if (path == m_parameters.sourcePath)
        return;
    m_parameters.sourcePath = path;
    scheduleUpdate();
}

void ZoomableImageView::setImage(const std::optional<QImage>& image, const QString& sourcePath)
{
    setImage(image);
    setSourcePath(sourcePath);
}

void ZoomableImageView::prepareFittedCopy(const QImage& image)
{
    m_coordinator->imageView()->prepareFittedCopy(image);
}

void ZoomableImageView::setRotation(double degrees)
{
    if (degrees == m_parameters.rotation)
        return;
    m_parameters.rotation = degrees;
    scheduleUpdate();
}

void ZoomableImageView::setAutoSizeWindow(bool on)
{
    if (on == m_parameters.isAutoSizeWindow)
        return;
    m_parameters.isAutoSizeWindow = on;
    scheduleUpdate();
}

void ZoomableImageView::setZoomAction(const std::optional<ZoomAction>& action)
{
    if (action == m_parameters.zoomAction)
        return;
    m_parameters.zoomAction = action;
    scheduleUpdate();
}

void ZoomableImageView::setScrollTarget(const std::optional<QPointF>& target)
{
    if (target == m_parameters.scrollTarget)
        return;
    m_parameters.scrollTarget = target;
    scheduleUpdate();
}

void ZoomableImageView::applyPendingChanges()
{
    if (!m_isUpdateScheduled)
        return;
    m_isUpdateScheduled = false;
    m_coordinator->update(m_parameters);
}

void ZoomableImageView::retire()
{
    m_parameters = {};
    m_isUpdateScheduled = false;
    m_coordinator->retire();
    // Nothing the parts still say reaches the owner.
    const QObject* parts[] = {m_coordinator, m_scrollArea, m_coordinator->imageView()};
    for (const QObject* part : parts) {
        if (part)
            part->disconnect(this);
    }
}

void ZoomableImageView::scheduleUpdate()
{
    if (m_isUpdateScheduled)
        return;
    m_isUpdateScheduled = true;
    QMetaObject::invokeMethod(this, &ZoomableImageView::applyPendingChanges, Qt::QueuedConnection);
}
