#pragma once

#include "state/Modes.h"
#include "viewer/InputDelay.h"

#include <QWidget>
#include <functional>

class AppState;
class QKeyEvent;
class QTimer;
class DeleteDialogs;
class EmptyStateView;
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

    // What "quit" means; tests replace it.
    void setQuitHandler(std::function<void()> quit) { m_quit = std::move(quit); }

    // None while no image is shown.
    ZoomableImageView* zoomView() const { return m_zoom; }
    StatusBarLabel* statusBar() const { return m_statusBar; }
    EmptyStateView* emptyState() const { return m_empty; }
    DeleteDialogs* deleteDialogs() const { return m_deleteDialogs; }

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
    void refreshStatusBar();
    void refreshNavigator();
    void layoutChildren();

    AppState& m_state;
    ZoomableImageView* m_zoom = nullptr;
    EmptyStateView* m_empty;
    StatusBarLabel* m_statusBar;
    DeleteDialogs* m_deleteDialogs;
    QWidget* m_metadataPanel = nullptr;
    QWidget* m_histogram = nullptr;
    QWidget* m_navigator = nullptr;
    QWidget* m_thumbnailBar = nullptr;
    std::function<void()> m_quit;
    InputDelay m_keyDelay;
    // The step pending is made of a held key's repeats alone: letting go calls it off.
    bool m_pendingFromRepeats = false;
    QTimer* m_prepareAfterResize = nullptr;
};
