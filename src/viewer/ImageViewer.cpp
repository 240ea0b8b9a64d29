#include "viewer/ImageViewer.h"

#include "base/FrameTrace.h"
#include "imaging/ImageService.h"
#include "state/AppState.h"
#include "viewer/ContextMenu.h"
#include "viewer/DeleteDialogs.h"
#include "viewer/EmptyStateView.h"
#include "viewer/IncompleteNotice.h"
#include "viewer/StatusBarLabel.h"
#include "viewer/ViewerRules.h"
#include "zoom/ZoomableImageView.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <utility>

namespace {
constexpr int kStatusMargin = 8;
constexpr int kNavigatorInset = 12;
// A resize this long without another has settled.
constexpr int kResizeSettleMs = 150;
// Page Up and Page Down go this many images back and forward.
constexpr int kPageStep = 10;

// The first local file of a drop, if any.
std::optional<QUrl> firstFileUrl(const QMimeData* data)
{
    if (!data || !data->hasUrls())
        return std::nullopt;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            return url;
    }
    return std::nullopt;
}
} // namespace

ImageViewer::ImageViewer(AppState& state, QWidget* parent) : QWidget(parent), m_state(state)
{
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);

    m_empty = new EmptyStateView(this);
    m_statusBar = new StatusBarLabel(this);
    m_incomplete = new IncompleteNotice(this);
    // The Trash alerts follow the model by themselves; the viewer only owns them.
    new DeleteDialogs(state, this);

    m_quit = [] { QApplication::quit(); };

    connect(&m_state, &AppState::currentImageChanged, this, [this] {
        const ZoomableImageView* before = m_zoom;
        syncZoomSurface();
        // A step has every field in place before it is told: the surface takes them now, so
        // that the new picture is drawn before the key's handling returns.
        if (before && m_zoom) {
            m_zoom->setRotation(m_state.rotation());
            m_zoom->applyPendingChanges();
        }
        setFocus(Qt::OtherFocusReason);
        m_state.showStatusBarTemporarily();
        // A new surface needs its place; otherwise the step's first signal laid everything out.
        if (m_zoom != before)
            refresh();
        else
            refreshIfChanged();
    });
    // A neighbour decoded ahead gets its fitted copy ahead too: a step then only paints.
    connect(&m_state, &AppState::preloadedImagesChanged, this,
            &ImageViewer::prepareNeighbourCopies);
    // Once a resize has settled, for the new size.
    m_prepareAfterResize = new QTimer(this);
    m_prepareAfterResize->setSingleShot(true);
    m_prepareAfterResize->setInterval(kResizeSettleMs);
    connect(m_prepareAfterResize, &QTimer::timeout, this, &ImageViewer::prepareNeighbourCopies);
    // Without an image there is no surface: the requests are then dropped, so that nothing
    // done in the empty state acts on the next image.
    connect(&m_state, &AppState::rotationChanged, this, [this] {
        if (m_zoom)
            m_zoom->setRotation(m_state.rotation());
    });
    connect(&m_state, &AppState::displayModeChanged, this, [this] {
        if (m_zoom)
            m_zoom->setAutoSizeWindow(m_state.displayMode() == DisplayMode::autoSizeWindow);
    });
    connect(&m_state, &AppState::zoomActionChanged, this, [this] {
        if (m_zoom) {
            m_zoom->setZoomAction(m_state.zoomAction());
            // A zoom command shows the new percentage, as the wheel does.
            if (m_state.zoomAction())
                m_state.showStatusBarTemporarily();
        } else if (m_state.zoomAction()) {
            m_state.setZoomAction(std::nullopt);
        }
    });
    connect(&m_state, &AppState::scrollTargetChanged, this, [this] {
        if (m_zoom)
            m_zoom->setScrollTarget(m_state.scrollTarget());
        else if (m_state.scrollTarget())
            m_state.setScrollTarget(std::nullopt);
    });
    connect(&m_state, &AppState::showStatusBarChanged, this,
            [this] { m_statusBar->setShown(m_state.showStatusBar()); });
    // Scrolling and zooming report on every frame: they touch only the status text and
    // the navigator's visibility, not the whole layout.
    connect(&m_state, &AppState::magnificationChanged, this, &ImageViewer::refreshStatusBar);
    connect(&m_state, &AppState::visibleRectChanged, this, &ImageViewer::refreshNavigator);
    connect(&m_state, &AppState::isNavigatorDraggingChanged, this, &ImageViewer::refreshNavigator);
    for (auto signal : {&AppState::imageFilesChanged, &AppState::currentIndexChanged,
                        &AppState::overlayModeChanged, &AppState::showThumbnailBarChanged,
                        &AppState::currentURLChanged, &AppState::decodeFailureChanged})
        connect(&m_state, signal, this, &ImageViewer::refreshIfChanged);

    syncZoomSurface();
    refresh();
}

ImageViewer::~ImageViewer() = default;

void ImageViewer::syncZoomSurface()
{
    const auto& preview = m_state.currentPreview();
    if (!m_state.currentImage() && !preview) {
        removeZoomSurface();
        if (m_state.zoomAction())
            m_state.setZoomAction(std::nullopt);
        return;
    }
    if (!m_zoom)
        createZoomSurface();
    const auto& url = m_state.currentURL();
    const QString path = url ? url->toLocalFile() : QString();
    if (preview)
        m_zoom->setPreview(preview->image, preview->fullSize, path);
    else
        m_zoom->setImage(m_state.currentImage(), path);
}

void ImageViewer::createZoomSurface()
{
    // A fresh surface for every image that follows the empty state: fitted, without a fade
    // from a picture that left the screen long ago.
    m_zoom = new ZoomableImageView(this);
    m_zoom->setFocusPolicy(Qt::NoFocus);
    m_zoom->setGeometry(rect());
    m_zoom->lower();
    wireZoomSurface();
    m_zoom->setAutoSizeWindow(m_state.displayMode() == DisplayMode::autoSizeWindow);
    m_zoom->setRotation(m_state.rotation());
    m_zoom->setZoomAction(m_state.zoomAction());
    m_zoom->setScrollTarget(m_state.scrollTarget());
    m_zoom->show();
}

void ImageViewer::removeZoomSurface()
{
    if (!m_zoom)
        return;
    // A click on the surface may have led here: it goes once that click has returned, and
    // reports nothing more meanwhile.
    ZoomableImageView* old = std::exchange(m_zoom, nullptr);
    old->retire();
    old->hide();
    old->deleteLater();
}

void ImageViewer::wireZoomSurface()
{
    connect(m_zoom, &ZoomableImageView::zoomActionConsumed, this,
            [this] { m_state.setZoomAction(std::nullopt); });
    connect(m_zoom, &ZoomableImageView::stateChanged, this,
            [this](double magnification, const QRectF& visible) {
                m_state.setMagnification(magnification);
                m_state.setVisibleRect(visible);
            });
    connect(m_zoom, &ZoomableImageView::scrollTargetConsumed, this,
            [this] { m_state.setScrollTarget(std::nullopt); });
    connect(m_zoom, &ZoomableImageView::frameShown, this, &ImageViewer::frameShown);
    connect(m_zoom, &ZoomableImageView::doubleClicked, this,
            [this] { m_state.setZoomAction(ZoomAction::fit); });
    connect(m_zoom, &ZoomableImageView::navigateClicked, this, [this](bool next) {
        if (next)
            m_state.nextImage();
        else
            m_state.previousImage();
    });
    connect(m_zoom, &ZoomableImageView::magnifiedByUser, this,
            [this] { m_state.showStatusBarTemporarily(); });
    // Neighbours held back at start are decoded once this first picture has been drawn.
    connect(m_zoom, &ZoomableImageView::pictureDrawn, &m_state, &AppState::releasePreloads,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    connect(m_zoom, &ZoomableImageView::pictureDrawn, this, &ImageViewer::pictureDrawn);
}

void ImageViewer::plugIn(QWidget*& slot, QWidget* widget)
{
    delete slot;
    slot = widget;
    if (widget)
        widget->setParent(this);
    refresh();
}

void ImageViewer::setOverlayWidget(OverlayMode mode, QWidget* widget)
{
    if (mode != OverlayMode::none)
        plugIn(mode == OverlayMode::metadata ? m_metadataPanel : m_histogram, widget);
}

void ImageViewer::setNavigator(QWidget* navigator)
{
    plugIn(m_navigator, navigator);
}

void ImageViewer::setThumbnailBar(QWidget* bar)
{
    plugIn(m_thumbnailBar, bar);
}

bool ImageViewer::isThumbnailStripShown() const
{
    return m_state.showThumbnailBar() && m_state.hasPicture() && m_state.imageFiles().size() >= 2;
}

void ImageViewer::refreshStatusBar()
{
    const qint64 count = m_state.imageFiles().size();
    m_statusBar->setTexts(count >= 2 ? viewer::positionText(m_state.currentIndex(), count)
                                     : QString(),
                          viewer::zoomText(m_state.magnification()));
    const QSize size = m_statusBar->sizeHint();
    m_statusBar->setGeometry(width() - kStatusMargin - size.width(), kStatusMargin, size.width(),
                             size.height());
}

void ImageViewer::refreshNavigator()
{
    if (m_navigator) {
        m_navigator->setVisible(viewer::isNavigatorVisible(m_state.currentImage().has_value(),
                                                           m_state.visibleRect(),
                                                           m_state.isNavigatorDragging()));
    }
}

// A step sets every field before it tells of any, so the first of its signals finds all
// that the layout reads already changed and the others find nothing new.
void ImageViewer::refreshIfChanged()
{
    const auto& image = m_state.currentImage();
    const auto& preview = m_state.currentPreview();
    // The picture itself: the navigator takes its shape.
    const qint64 picture = image ? image->cacheKey() : preview ? preview->image.cacheKey() : 0;
    RefreshInputs inputs{picture,
                         image.has_value(),
                         m_state.currentURL(),
                         m_state.decodeFailure(),
                         m_state.overlayMode(),
                         m_state.showThumbnailBar(),
                         m_state.currentIndex(),
                         m_state.imageFiles().size()};
    if (m_refreshedFor == inputs)
        return;
    m_refreshedFor = std::move(inputs);
    refresh();
}

void ImageViewer::refresh()
{
    ++m_refreshCount;
    const bool hasImage = m_state.hasPicture();
    m_empty->setVisible(!hasImage);
    if (const auto& url = m_state.currentURL(); url && !hasImage) {
        m_empty->showRefusal(url->fileName(), m_state.decodeFailure());
        if (base::FrameTrace::isOn() && m_state.decodeFailure() != imaging::DecodeFailure::none)
            base::FrameTrace::note("refused", url->fileName());
    } else
        m_empty->showInvitation();
    m_statusBar->setVisible(hasImage);
    m_incomplete->setVisible(m_state.currentImage() &&
                             imaging::isIncomplete(*m_state.currentImage()));
    refreshNavigator();

    if (m_metadataPanel)
        m_metadataPanel->setVisible(hasImage && m_state.overlayMode() == OverlayMode::metadata);
    if (m_histogram)
        m_histogram->setVisible(hasImage && m_state.overlayMode() == OverlayMode::histogram);
    if (m_thumbnailBar)
        m_thumbnailBar->setVisible(isThumbnailStripShown());
    layoutChildren();
}

void ImageViewer::layoutChildren()
{
    const QRect area = rect();
    if (m_zoom)
        m_zoom->setGeometry(area);
    m_empty->setGeometry(area);
    // Hidden ones are placed when they show (refresh shows them, then lays out): measuring
    // their text would load fonts the start's first frame does not draw.
    if (!m_incomplete->isHidden()) {
        m_incomplete->placeIn(area);
        m_incomplete->raise();
    }

    refreshStatusBar();
    m_statusBar->raise();

    for (QWidget* panel : {m_metadataPanel, m_histogram}) {
        if (panel && !panel->isHidden()) {
            panel->adjustSize();
            panel->move(area.topLeft());
            panel->raise();
        }
    }
    if (m_navigator) {
        const QSize size =
            m_navigator->sizeHint().isValid() ? m_navigator->sizeHint() : m_navigator->size();
        const int bottom = viewer::navigatorBottomInset(isThumbnailStripShown());
        m_navigator->setGeometry(area.right() + 1 - kNavigatorInset - size.width(),
                                 area.bottom() + 1 - bottom - size.height(), size.width(),
                                 size.height());
        m_navigator->raise();
    }
    if (m_thumbnailBar) {
        const int height = m_thumbnailBar->sizeHint().height();
        m_thumbnailBar->setGeometry(area.left(), area.bottom() + 1 - height, area.width(), height);
        m_thumbnailBar->raise();
    }
}

bool ImageViewer::event(QEvent* event)
{
    // Tab cycles the overlays instead of moving focus away from the image.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab &&
            !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            cycleOverlay();
            return true;
        }
    }
    return QWidget::event(event);
}

void ImageViewer::keyPressEvent(QKeyEvent* event)
{
    if (base::FrameTrace::isOn())
        base::FrameTrace::note(event->isAutoRepeat() ? "repeat" : "key",
                               QKeySequence(event->key()).toString());
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Space:
        stepByKey(event, 1);
        break;
    case Qt::Key_Backspace:
        // Ctrl+Backspace is the menu's "Delete Image": it never also steps back.
        if (event->modifiers() & Qt::ControlModifier) {
            QWidget::keyPressEvent(event);
            return;
        }
        stepByKey(event, -1);
        break;
    case Qt::Key_Left:
        stepByKey(event, -1);
        break;
    case Qt::Key_Home:
        m_state.goToImage(0);
        break;
    case Qt::Key_End:
        m_state.goToImage(m_state.imageFiles().size() - 1);
        break;
    case Qt::Key_PageUp:
        m_state.stepBy(-kPageStep);
        break;
    case Qt::Key_PageDown:
        m_state.stepBy(kPageStep);
        break;
    case Qt::Key_Escape:
        handleEscape();
        break;
    case Qt::Key_Delete:
        m_state.setShowDeleteConfirmation(true);
        break;
    default:
        if (event->text() == QLatin1String("f") &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            toggleFullScreen();
            break;
        }
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ImageViewer::stepByKey(const QKeyEvent* event, int delta)
{
    // A held key never waits for a decode: a repeat moves on only once the photo it would show
    // has been decoded ahead (or could not be), and the next repeat tries again. So letting go
    // stops at the photo on screen.
    if (event->isAutoRepeat() && m_state.isDecodingAhead(delta))
        return;
    // Keys that piled up behind a slow step collapse into one step, taken once they are all
    // read: a held key never leaves a queue of decodes behind, and stops when let go.
    if (m_keyDelay.waited(event->timestamp()) || m_state.hasPendingStep()) {
        m_pendingFromRepeats =
            event->isAutoRepeat() && (!m_state.hasPendingStep() || m_pendingFromRepeats);
        m_state.requestStep(delta);
    } else if (delta > 0)
        m_state.nextImage();
    else
        m_state.previousImage();
}

void ImageViewer::keyReleaseEvent(QKeyEvent* event)
{
    if (base::FrameTrace::isOn() && !event->isAutoRepeat())
        base::FrameTrace::note("release", QKeySequence(event->key()).toString());
    // The photo on screen, or the one being decoded, is where a let-go key stops: repeats that
    // piled up behind a slow step are not taken after it.
    if (!event->isAutoRepeat() && m_pendingFromRepeats && m_state.hasPendingStep())
        m_state.cancelPendingStep();
    QWidget::keyReleaseEvent(event);
}

void ImageViewer::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_state.currentImage())
        return;
    // Built afresh each time, so check marks and applications are those of this moment.
    // It goes once a chosen item has run: Qt hides the menu before triggering the item.
    auto* menu = new ContextMenu(m_state, this);
    connect(menu, &QMenu::aboutToHide, menu, &QObject::deleteLater);
    menu->popup(event->globalPos());
}

void ImageViewer::cycleOverlay()
{
    switch (m_state.overlayMode()) {
    case OverlayMode::none:
        m_state.setOverlayMode(OverlayMode::metadata);
        break;
    case OverlayMode::metadata:
        m_state.setOverlayMode(OverlayMode::histogram);
        break;
    case OverlayMode::histogram:
        m_state.setOverlayMode(OverlayMode::none);
        break;
    }
}

void ImageViewer::handleEscape()
{
    if (m_state.overlayMode() != OverlayMode::none) {
        m_state.setOverlayMode(OverlayMode::none);
        return;
    }
    if (window()->isFullScreen()) {
        window()->showNormal();
        return;
    }
    m_quit();
}

void ImageViewer::toggleFullScreen()
{
    QWidget* top = window();
    if (top->isFullScreen())
        top->showNormal();
    else
        top->showFullScreen();
}

void ImageViewer::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::black);
}

void ImageViewer::resizeEvent(QResizeEvent*)
{
    m_state.setViewPixels(size() * devicePixelRatioF());
    layoutChildren();
    if (m_prepareAfterResize)
        m_prepareAfterResize->start();
}

void ImageViewer::prepareNeighbourCopies()
{
    if (!m_zoom)
        return;
    for (const QImage& image : m_state.preloadedImages())
        m_zoom->prepareFittedCopy(image);
}

void ImageViewer::showEvent(QShowEvent*)
{
    setFocus(Qt::OtherFocusReason);
}

void ImageViewer::dragEnterEvent(QDragEnterEvent* event)
{
    if (firstFileUrl(event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void ImageViewer::dropEvent(QDropEvent* event)
{
    const auto url = firstFileUrl(event->mimeData());
    if (!url) {
        event->ignore();
        return;
    }
    m_state.openFile(*url);
    event->acceptProposedAction();
}
