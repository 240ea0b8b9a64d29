#pragma once

#include "base/TestAccess.h"
#include "zoom/ZoomParameters.h"

#include <QRectF>
#include <QWidget>

class ZoomCoordinator;
class ZoomScrollArea;

// The zoom surface: shows an image over black, fitted or magnified up to 20 times, zoomed by
// wheel and pinch, panned by dragging; clicks on a fitted image step through the folder.
//
// Inputs arrive through the setters. Each change schedules one update step on the event loop,
// so changes made together (a new image and a zoom request, say) are applied together, in the
// order image, zoom request, scroll request. Zoom and scroll requests are one-shot: the surface
// performs one, then says it is consumed, and the owner clears it; a request still set at a
// later update step is performed again.
class ZoomableImageView : public QWidget {
    Q_OBJECT

public:
    explicit ZoomableImageView(QWidget* parent = nullptr);
    ~ZoomableImageView() override;

    // No image leaves what is shown unchanged.
    void setImage(const std::optional<QImage>& image);
    // The image's file, for playing animated GIF and WebP files.
    void setSourcePath(const QString& path);
    void setImage(const std::optional<QImage>& image, const QString& sourcePath);
    // A smaller picture of the file, shown in place of the whole one of fullSize, which then
    // follows through setImage without a fade or a change of zoom.
    void setPreview(const QImage& preview, const QSize& fullSize, const QString& sourcePath);
    // An image that may be shown next: its fitted copy is made ahead.
    void prepareFittedCopy(const QImage& image);
    // Degrees, clockwise on screen.
    void setRotation(double degrees);
    // Resizes the window to each image instead of fitting the image to the window.
    void setAutoSizeWindow(bool on);
    void setZoomAction(const std::optional<ZoomAction>& action);
    // Normalised image coordinates (0 to 1 from the left and from the bottom edge) to centre.
    void setScrollTarget(const std::optional<QPointF>& target);

    // Runs a scheduled update step now rather than on the next turn of the event loop.
    void applyPendingChanges();
    // For a surface on its way out: drops pending steps and follow-ups and stops any
    // animation, so that nothing more is reported from it.
    void retire();

Q_SIGNALS:
    void zoomActionConsumed();
    void scrollTargetConsumed();
    // On every scroll, zoom and resize, so receivers must only store the values: the
    // magnification and the visible part of the image in normalised image coordinates.
    void stateChanged(double magnification, const QRectF& visibleRect);
    // A double click on the image, after the step its first click took has been undone.
    void doubleClicked();
    // A click on a fitted image: in its right half for the next image, else the previous one.
    void navigateClicked(bool next);
    // The person zoomed, by wheel or pinch.
    void magnifiedByUser();
    // A paint put a picture, or its stand-in, on screen.
    void pictureDrawn();

private:
    friend struct TestAccess;

    void scheduleUpdate();

    ZoomParameters m_parameters;
    ZoomCoordinator* m_coordinator = nullptr;
    ZoomScrollArea* m_scrollArea = nullptr;
    bool m_isUpdateScheduled = false;
};
