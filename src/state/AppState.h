#pragma once

#include "base/FileStamp.h"
#include "desktop/Applications.h"
#include "imaging/DecodeFailure.h"
#include "imaging/EarlyDecode.h"
#include "imaging/MetadataEntry.h"
#include "state/FileRotation.h"
#include "state/Modes.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QSize>
#include <QUrl>
#include <optional>
#include <utility>

class QTimer;
class FolderSession;
class PointerMonitor;
class PreloadCache;
class ShownDecode;
struct TestAccess;

// The one model of what the viewer shows. Widget-free: widgets read it, call it and
// observe its <field>Changed signals, which fire only when a value really changes.
class AppState : public QObject {
    Q_OBJECT

public:
    // early: the photo named at start, decoded beside the window's construction; its result is
    // taken instead of decoding that file again.
    explicit AppState(imaging::EarlyDecode* early = nullptr, QObject* parent = nullptr);
    ~AppState() override;

    const std::optional<QUrl>& currentURL() const { return m_currentURL; }
    void setCurrentURL(const std::optional<QUrl>& url);

    // Compared by identity (QImage::cacheKey), never by pixels.
    const std::optional<QImage>& currentImage() const { return m_currentImage; }
    void setCurrentImage(const std::optional<QImage>& image);

    // While the photo opened at start is still being decoded whole: a smaller picture of it
    // to show meanwhile, with currentImage none. Any new currentImage ends it; the whole
    // picture takes its place without a change to the view. Signalled by currentImageChanged.
    const std::optional<imaging::Preview>& currentPreview() const { return m_currentPreview; }
    // Whether a picture of the shown file is on hand: currentImage or its preview.
    bool hasPicture() const { return m_currentImage || m_currentPreview; }

    // Why currentImage is none although currentURL names a file; none otherwise.
    imaging::DecodeFailure decodeFailure() const { return m_decodeFailure; }
    void setDecodeFailure(imaging::DecodeFailure failure);

    const QList<QUrl>& imageFiles() const { return m_imageFiles; }
    void setImageFiles(const QList<QUrl>& files);

    qint64 currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(qint64 index);

    double rotation() const { return m_rotation; }
    void setRotation(double degrees);

    // Notifies on every assignment.
    const MetadataRows& metadata() const { return m_metadata; }
    void setMetadata(const MetadataRows& rows);

    // The three preferences: stored on every assignment, even of the value held.
    DisplayMode displayMode() const { return m_displayMode; }
    void setDisplayMode(DisplayMode mode);
    OverlayMode overlayMode() const { return m_overlayMode; }
    void setOverlayMode(OverlayMode mode);
    bool showThumbnailBar() const { return m_showThumbnailBar; }
    void setShowThumbnailBar(bool show);

    const std::optional<ZoomAction>& zoomAction() const { return m_zoomAction; }
    void setZoomAction(const std::optional<ZoomAction>& action);

    double magnification() const { return m_magnification; }
    void setMagnification(double value);

    // Normalised image coordinates, y upward.
    const QRectF& visibleRect() const { return m_visibleRect; }
    void setVisibleRect(const QRectF& rect);

    const std::optional<QPointF>& scrollTarget() const { return m_scrollTarget; }
    void setScrollTarget(const std::optional<QPointF>& target);

    bool isNavigatorDragging() const { return m_isNavigatorDragging; }
    void setIsNavigatorDragging(bool dragging);

    bool showDeleteConfirmation() const { return m_showDeleteConfirmation; }
    void setShowDeleteConfirmation(bool show);

    const std::optional<QString>& deleteError() const { return m_deleteError; }
    void setDeleteError(const std::optional<QString>& message);

    bool showStatusBar() const { return m_showStatusBar; }
    void setShowStatusBar(bool show);

    // Decoded neighbours of the shown image. Images compare by identity.
    const QHash<QUrl, QImage>& preloadedImages() const;
    void setPreloadedImages(const QHash<QUrl, QImage>& images);
    void insertPreloadedImage(const QUrl& url, const QImage& image);
    std::optional<QImage> takePreloadedImage(const QUrl& url);

    QString windowTitle() const;

    // Shows the status bar and restarts the hide countdown.
    void showStatusBarTemporarily();

    void applyDisplayMode();
    // The display mode kept in the preferences, if any. Readable before the application object
    // exists.
    static std::optional<DisplayMode> storedDisplayMode();

    // Folder listing.
    void loadDirectory(const QUrl& openedFile);

    // Opening and stepping. The shown image is decoded here, on this thread, unless a
    // neighbour decoded ahead in the background is ready. A folder opens its first image.
    void openFile(const QUrl& url);
    // Nothing tells of the new file (title, position, status) before its picture is at hand.
    // A file that decodes slowly and is not at hand is decoded in the background: the picture
    // on screen and everything that tells of it stay until the new file's preview, or its
    // whole picture, is there; meanwhile steps count from the file on its way.
    void nextImage();
    void previousImage();
    void goToImage(qint64 index);
    // delta positions on from the file shown or on its way, with wrap-around as nextImage.
    void stepBy(qint64 delta);
    // The position of the file shown, or of the one on its way to the screen.
    qint64 targetIndex() const;
    // The size in pixels of the view the picture is fitted into: previews are decoded for it.
    void setViewPixels(const QSize& size) { m_viewPixels = size; }
    void reloadCurrentImage();
    // The screen's colour profile changed (imaging::setDisplayProfile): the shown picture is
    // decoded again for it in the background and replaces the old one when done; the
    // neighbours' copies are dropped and decoded anew.
    void redecodeForScreen();
    void preloadAdjacentImages();
    // While held, neighbours are not decoded ahead: at start the first picture has the
    // processor to itself until it is on screen. Released at the latest after timeoutMs.
    void holdPreloads(int timeoutMs);
    void releasePreloads();
    // A step by delta positions, taken on the next turn of the event loop. Steps asked for
    // before then gather into one: the latest position wins, and only its image is decoded.
    void requestStep(qint64 delta);
    bool hasPendingStep() const { return m_stepQueued; }
    // Whether the photo delta positions away is still being decoded ahead.
    bool isDecodingAhead(qint64 delta) const;
    // Calls off the steps gathered but not yet taken: a held key was let go.
    void cancelPendingStep() { m_pendingStep = 0; }

    // A quarter turn of the shown file: the view turns at once, through rotation, and the file is
    // rewritten in the background; once it is, the rewritten picture takes the turned view's
    // place. When the file cannot be rewritten only the view stays turned.
    void rotateClockwise();
    void rotateCounterclockwise();
    // Whether a rotation is being written to a file.
    bool isRewriting() const { return m_fileRotation->file().has_value(); }

    // File actions on the shown file; each does nothing without one.
    void copyImageToPasteboard();
    void revealInFinder();
    // The applications that can open the shown file, this viewer left out, by name.
    QList<desktop::OpenWithApp> openWithApplications() const;
    // application: the desktop file of the application to start.
    void openWith(const QUrl& application);
    // Moves the shown file to the Trash in the background, then takes it out of the list and
    // shows its neighbour; a failure goes to deleteError and leaves the file where it was. A
    // file already on its way to the Trash is not asked for again.
    void deleteCurrentImage();

Q_SIGNALS:
    void currentURLChanged();
    void currentImageChanged();
    void decodeFailureChanged();
    void imageFilesChanged();
    void currentIndexChanged();
    void rotationChanged();
    void metadataChanged();
    void displayModeChanged();
    void overlayModeChanged();
    void showThumbnailBarChanged();
    void zoomActionChanged();
    void magnificationChanged();
    void visibleRectChanged();
    void scrollTargetChanged();
    void isNavigatorDraggingChanged();
    void showDeleteConfirmationChanged();
    void deleteErrorChanged();
    void showStatusBarChanged();
    void preloadedImagesChanged();
    // Emitted whenever one of the fields the title is made of changes.
    void windowTitleChanged();
    // The file at url was rewritten in place (rotated): pictures made of it are stale.
    void fileRewritten(const QUrl& url);

private:
    friend struct TestAccess;

    void readPreferences();
    void writeUnwrittenPreferences();
    void rotateBy(int quarterTurns);
    // Starts writing the view's turn into the shown file, unless a rewrite is under way.
    void rewriteTurnedFile();
    void rewriteFinished(const QUrl& url, int quarterTurns, const FileRotation::Result& result);
    void trashFinished(const QUrl& url, const std::optional<QString>& error);
    void openFolder(const QUrl& folder);
    // The shown file, the list and its position, assigned together and then told: the title
    // never pairs a name with a position that is not its own.
    void assignPlace(const std::optional<QUrl>& url, const QList<QUrl>& files, qint64 position);
    // Lists the folder of the file shown, places it there and decodes its neighbours ahead.
    void placeInFolder(const QUrl& url);
    // Shows the file at position index of imageFiles, which must be in range.
    void loadCurrentImage();
    // Decodes the file on this thread, recording why it failed and which version it read.
    // The photo decoded early shows its preview until the whole picture follows.
    void showDecoded(const QUrl& url);
    void showPreview(const QUrl& url, const imaging::Preview& preview);
    // Puts the whole picture in the preview's place, waiting for it if need be.
    void finishPreview();
    // The early decode's result for the file, or a decode on this thread.
    std::optional<QImage> decodeShown(const QString& path, imaging::DecodeFailure* failure);
    void clearShownFile();
    // What a step puts on screen: the whole picture, or a preview of it until it follows.
    struct ShownPicture {
        std::optional<QImage> image;
        std::optional<imaging::Preview> preview;
        imaging::DecodeFailure failure = imaging::DecodeFailure::none;
        std::optional<base::FileStamp> stamp;
    };
    void showPosition(qint64 index);
    // Shows the picture as the file at index; copiesChanged: the preloaded copies changed.
    void commitPosition(qint64 index, const ShownPicture& picture, bool copiesChanged);
    // Shows url, opened in its folder, with the picture.
    void commitOpen(const QUrl& url, const ShownPicture& picture);
    void shownPreviewDecoded(const QUrl& url, const imaging::Preview& preview);
    void shownWholeDecoded(const QUrl& url, const ShownPicture& picture);
    // The first picture of the file on its way: it goes on screen as the shown file.
    void commitArrival(const QUrl& url, const ShownPicture& picture);
    void takePendingStep();
    // The next and the previous position's files; one when the folder holds two.
    QList<QUrl> neighbourUrls() const;
    QList<QUrl> neighbourUrls(qint64 index) const;
    // Remembers which way a person goes: 1 forward, -1 back.
    void noteDirection(int direction);
    // The neighbour behind the way a person walks, held scaled down to the view; none while
    // they turn back and forth, comparing two pictures.
    std::optional<QUrl> neighbourBehind() const;
    // Tells of a change to the preloaded copies made by this model.
    void noteCopiesChanged(bool changed);
    void watchShownFolder();
    // The shown folder is watched; this brings the list, the position and the shown image up
    // to date with it. Run after each burst of changes.
    void refreshFolder();
    // After the file at position left imageFiles (already without it), as after a move to the
    // Trash: the file that followed it is shown, or the new last one; with none left, nothing.
    void showInPlaceOfRemoved(qint64 position);

    std::optional<QUrl> m_currentURL;
    std::optional<QImage> m_currentImage;
    std::optional<imaging::Preview> m_currentPreview;
    imaging::DecodeFailure m_decodeFailure = imaging::DecodeFailure::none;
    QList<QUrl> m_imageFiles;
    qint64 m_currentIndex = 0;
    double m_rotation = 0;
    MetadataRows m_metadata;
    DisplayMode m_displayMode = DisplayMode::fitToWindow;
    OverlayMode m_overlayMode = OverlayMode::none;
    bool m_showThumbnailBar = false;
    std::optional<ZoomAction> m_zoomAction;
    double m_magnification = 1.0;
    QRectF m_visibleRect{0, 0, 1, 1};
    std::optional<QPointF> m_scrollTarget;
    bool m_isNavigatorDragging = false;
    bool m_showDeleteConfirmation = false;
    std::optional<QString> m_deleteError;
    bool m_showStatusBar = true;
    QTimer* m_hideStatusBarTask = nullptr;
    PointerMonitor* m_mouseMonitor = nullptr;
    // The version of the shown file that was read (none: it was not there): a file whose stamp
    // moves on was rewritten since.
    std::optional<base::FileStamp> m_shownStamp;
    imaging::EarlyDecode* m_early = nullptr;
    PreloadCache* m_preloads = nullptr;
    FolderSession* m_folder = nullptr;
    FileRotation* m_fileRotation = nullptr;
    ShownDecode* m_shownDecode = nullptr;
    // The file on its way came from openFile, not from a step within the folder.
    bool m_pendingOpen = false;
    QSize m_viewPixels;
    // The picture on screen when the rewrite under way began.
    qint64 m_rewrittenViewKey = 0;
    // Files the Trash is taking.
    QSet<QUrl> m_beingTrashed;
    qint64 m_pendingStep = 0;
    bool m_stepQueued = false;
    bool m_preloadsHeld = false;
    // The file opened at start whose metadata is read once its picture is on screen.
    QUrl m_metadataLater;
    // A first launch's thumbnail preference, written back once the first picture is on screen.
    bool m_thumbnailPreferenceUnwritten = false;
    // The way the last step went (1 forward, -1 back, 0 none yet), and whether it turned back.
    int m_direction = 0;
    bool m_turnedBack = false;
};
