#pragma once

#include "base/TestAccess.h"
#include "imaging/DecodeFailure.h"
#include "state/Modes.h"
#include "viewer/InputDelay.h"

#include <QUrl>
#include <QWidget>
#include <functional>
#include <optional>

class AppState;
class QKeyEvent;
class QTimer;
class EmptyStateView;
class IncompleteNotice;
class StatusBarLabel;
class ZoomableImageView;

// The whole content of the viewer window, back to front: black backdrop, the zoom surface
// (or the empty state), the overlay slot, the status bar, the thumbnail slot. It keeps
// almost no state: every decision reads the model.
class ImageViewer : public QWidget {
    Q_OBJECT

public:
    explicit ImageViewer(AppState& state, QWidget* parent = nullptr);
    ~ImageViewer() override;

    // Slots that the overlays and the thumbnail strip plug into. The viewer owns them then.
    void setOverlayWidget(OverlayMode mode, QWidget* widget);
    void setNavigator(QWidget* navigator);
    void setThumbnailBar(QWidget* bar);

Q_SIGNALS:
    // A frame of a playing animation went up: what the histogram counts while it plays.
    void frameShown(const QImage& frame);
    // A new picture (not a frame of the same one) was painted.
    void pictureDrawn();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    friend struct TestAccess;

    void syncZoomSurface();
    void createZoomSurface();
    void removeZoomSurface();
    void wireZoomSurface();
    // Replaces what a slot holds; the viewer owns the new widget.
    void plugIn(QWidget*& slot, QWidget* widget);
    bool isThumbnailStripShown() const;
    // A step by key: one that waited while the thread was busy joins the step still to come.
    void stepByKey(const QKeyEvent* event, int delta);
    void prepareNeighbourCopies();
    void handleEscape();
    void toggleFullScreen();
    void cycleOverlay();
    void refresh();
    void refreshIfChanged();
    void refreshStatusBar();
    void refreshNavigator();
    void layoutChildren();

    AppState& m_state;
    // None while no image is shown.
    ZoomableImageView* m_zoom = nullptr;
    EmptyStateView* m_empty;
    StatusBarLabel* m_statusBar;
    IncompleteNotice* m_incomplete;
    QWidget* m_metadataPanel = nullptr;
    QWidget* m_histogram = nullptr;
    QWidget* m_navigator = nullptr;
    QWidget* m_thumbnailBar = nullptr;
    // What "quit" means; tests replace it.
    std::function<void()> m_quit;
    InputDelay m_keyDelay;
    // The step pending is made of a held key's repeats alone: letting go calls it off.
    bool m_pendingFromRepeats = false;
    QTimer* m_prepareAfterResize = nullptr;

    // What the last refresh read from the model.
    struct RefreshInputs {
        qint64 picture = 0;
        bool hasWholeImage = false;
        std::optional<QUrl> url;
        imaging::DecodeFailure failure = imaging::DecodeFailure::none;
        OverlayMode overlay = OverlayMode::none;
        bool showStrip = false;
        qint64 index = -1;
        qsizetype count = 0;
        bool operator==(const RefreshInputs&) const = default;
    };
    std::optional<RefreshInputs> m_refreshedFor;
    int m_refreshCount = 0;
};
