#include "state/AppState.h"

#include "state/FolderSession.h"
#include "state/PointerMonitor.h"
#include "state/PreloadCache.h"
#include "state/ShownDecode.h"

#include <QPointer>
#include <QSettings>
#include <QTimer>

namespace {

constexpr int kStatusBarHideDelayMs = 2000;

const QString kDisplayModeKey = QStringLiteral("displayMode");
const QString kOverlayModeKey = QStringLiteral("overlayMode");
const QString kShowThumbnailBarKey = QStringLiteral("showThumbnailBar");

QSettings preferences()
{
    return QSettings(QStringLiteral("Pelu"), QStringLiteral("Pelu"));
}

// Written only when the file holds something else: each write rewrites the whole file, and
// the preferences are set again from the file at every start.
void storePreference(const QString& key, const QVariant& value)
{
    QSettings settings = preferences();
    const QVariant stored = settings.value(key);
    if (!stored.isValid() || stored.toString() != value.toString())
        settings.setValue(key, value);
}

bool sameImage(const std::optional<QImage>& a, const std::optional<QImage>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || a->cacheKey() == b->cacheKey();
}

// Stores the value and tells whether observers must hear of it.
template <typename T> bool assign(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

AppState::AppState(imaging::EarlyDecode* early, QObject* parent)
    : QObject(parent), m_early(early), m_preloads(new PreloadCache(this)),
      m_folder(new FolderSession(this)), m_fileRotation(new FileRotation(this)),
      m_shownDecode(new ShownDecode(this))
{
    m_hideStatusBarTask = new QTimer(this);
    m_hideStatusBarTask->setSingleShot(true);
    m_hideStatusBarTask->setInterval(kStatusBarHideDelayMs);
    connect(m_hideStatusBarTask, &QTimer::timeout, this, [this] { setShowStatusBar(false); });

    readPreferences();

    connect(m_folder, &FolderSession::changed, this, &AppState::refreshFolder);
    connect(m_preloads, &PreloadCache::imagesChanged, this, &AppState::preloadedImagesChanged);
    connect(m_fileRotation, &FileRotation::finished, this, &AppState::rewriteFinished);
    connect(m_shownDecode, &ShownDecode::previewDecoded, this, &AppState::shownPreviewDecoded);
    connect(m_shownDecode, &ShownDecode::wholeDecoded, this, [this](const ShownDecode::Whole& w) {
        shownWholeDecoded(w.url, {w.image, std::nullopt, w.failure, w.stamp});
    });

    QPointer<AppState> self(this);
    auto* monitor = new PointerMonitor(
        [self] {
            if (self)
                self->showStatusBarTemporarily();
        },
        this);
    if (monitor->isInstalled())
        m_mouseMonitor = monitor;
    else
        delete monitor;
}

AppState::~AppState()
{
    writeUnwrittenPreferences();
    // Remove the monitor before the fields go, so no late movement reaches a dying model.
    delete m_mouseMonitor;
    m_mouseMonitor = nullptr;
}

std::optional<DisplayMode> AppState::storedDisplayMode()
{
    const QVariant display = preferences().value(kDisplayModeKey);
    if (display.typeId() != QMetaType::QString)
        return std::nullopt;
    return displayModeFromRaw(display.toString());
}

void AppState::readPreferences()
{
    QSettings settings = preferences();
    if (const std::optional<DisplayMode> mode = storedDisplayMode())
        setDisplayMode(*mode);
    const QVariant overlay = settings.value(kOverlayModeKey);
    if (overlay.typeId() == QMetaType::QString) {
        if (auto mode = overlayModeFromRaw(overlay.toString()))
            setOverlayMode(*mode);
    }
    // A first launch stores the default as well, but not before its first picture is on
    // screen: making the settings folder and locking, writing and renaming the file held that
    // picture back by a few milliseconds.
    if (const QVariant shown = settings.value(kShowThumbnailBarKey); shown.isValid())
        setShowThumbnailBar(shown.toBool());
    else
        m_thumbnailPreferenceUnwritten = true;
}

void AppState::writeUnwrittenPreferences()
{
    if (std::exchange(m_thumbnailPreferenceUnwritten, false))
        storePreference(kShowThumbnailBarKey, m_showThumbnailBar);
}

void AppState::setCurrentURL(const std::optional<QUrl>& url)
{
    if (assign(m_currentURL, url)) {
        Q_EMIT currentURLChanged();
        Q_EMIT windowTitleChanged();
    }
}

void AppState::setCurrentImage(const std::optional<QImage>& image)
{
    const bool hadPreview = m_currentPreview.has_value();
    m_currentPreview.reset();
    if (sameImage(m_currentImage, image) && !hadPreview)
        return;
    m_currentImage = image;
    Q_EMIT currentImageChanged();
}

void AppState::setDecodeFailure(imaging::DecodeFailure failure)
{
    if (assign(m_decodeFailure, failure))
        Q_EMIT decodeFailureChanged();
}

void AppState::setImageFiles(const QList<QUrl>& files)
{
    if (assign(m_imageFiles, files)) {
        Q_EMIT imageFilesChanged();
        Q_EMIT windowTitleChanged();
    }
}

void AppState::setCurrentIndex(qint64 index)
{
    if (assign(m_currentIndex, index)) {
        Q_EMIT currentIndexChanged();
        Q_EMIT windowTitleChanged();
    }
}

void AppState::setRotation(double degrees)
{
    if (assign(m_rotation, degrees))
        Q_EMIT rotationChanged();
}

void AppState::setMetadata(const MetadataRows& rows)
{
    m_metadata = rows;
    Q_EMIT metadataChanged();
}

void AppState::setDisplayMode(DisplayMode mode)
{
    if (assign(m_displayMode, mode))
        Q_EMIT displayModeChanged();
    storePreference(kDisplayModeKey, rawValue(mode));
}

void AppState::setOverlayMode(OverlayMode mode)
{
    if (assign(m_overlayMode, mode))
        Q_EMIT overlayModeChanged();
    storePreference(kOverlayModeKey, rawValue(mode));
}

void AppState::setShowThumbnailBar(bool show)
{
    m_thumbnailPreferenceUnwritten = false;
    if (assign(m_showThumbnailBar, show))
        Q_EMIT showThumbnailBarChanged();
    storePreference(kShowThumbnailBarKey, show);
}

void AppState::setZoomAction(const std::optional<ZoomAction>& action)
{
    if (assign(m_zoomAction, action))
        Q_EMIT zoomActionChanged();
}

void AppState::setMagnification(double value)
{
    if (assign(m_magnification, value))
        Q_EMIT magnificationChanged();
}

void AppState::setVisibleRect(const QRectF& rect)
{
    if (assign(m_visibleRect, rect))
        Q_EMIT visibleRectChanged();
}

void AppState::setScrollTarget(const std::optional<QPointF>& target)
{
    if (assign(m_scrollTarget, target))
        Q_EMIT scrollTargetChanged();
}

void AppState::setIsNavigatorDragging(bool dragging)
{
    if (assign(m_isNavigatorDragging, dragging))
        Q_EMIT isNavigatorDraggingChanged();
}

void AppState::setShowDeleteConfirmation(bool show)
{
    if (assign(m_showDeleteConfirmation, show))
        Q_EMIT showDeleteConfirmationChanged();
}

void AppState::setDeleteError(const std::optional<QString>& message)
{
    if (assign(m_deleteError, message))
        Q_EMIT deleteErrorChanged();
}

void AppState::setShowStatusBar(bool show)
{
    if (assign(m_showStatusBar, show))
        Q_EMIT showStatusBarChanged();
}

const QHash<QUrl, QImage>& AppState::preloadedImages() const
{
    return m_preloads->images();
}

void AppState::setPreloadedImages(const QHash<QUrl, QImage>& images)
{
    noteCopiesChanged(m_preloads->setImages(images));
}

void AppState::insertPreloadedImage(const QUrl& url, const QImage& image)
{
    m_preloads->insert(url, image);
    noteCopiesChanged(true);
}

std::optional<QImage> AppState::takePreloadedImage(const QUrl& url)
{
    auto taken = m_preloads->take(url);
    noteCopiesChanged(taken.has_value());
    return taken ? std::optional<QImage>(taken->first) : std::nullopt;
}

void AppState::noteCopiesChanged(bool changed)
{
    if (changed)
        Q_EMIT preloadedImagesChanged();
}

QString AppState::windowTitle() const
{
    if (!m_currentURL)
        return QStringLiteral("Pelú");
    QString title = m_currentURL->fileName();
    if (m_imageFiles.size() >= 2) {
        title +=
            QStringLiteral(" [%1/%2]")
                .arg(QString::number(m_currentIndex + 1), QString::number(m_imageFiles.size()));
    }
    return title;
}

void AppState::showStatusBarTemporarily()
{
    setShowStatusBar(true);
    // start() on a running timer restarts it: the earlier countdown is cancelled.
    m_hideStatusBarTask->start();
}

void AppState::applyDisplayMode()
{
    switch (m_displayMode) {
    case DisplayMode::fitToWindow:
        setZoomAction(ZoomAction::fit);
        break;
    case DisplayMode::actualSize:
        setZoomAction(ZoomAction::actualSize);
        break;
    case DisplayMode::autoSizeWindow:
        break;
    }
}
