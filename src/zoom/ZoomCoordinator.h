#pragma once

#include "state/Modes.h"
#include "zoom/FollowUpQueue.h"
#include "zoom/FramePlayer.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>

class PannableImageView;
class ZoomScrollArea;

// Everything the window hands the zoom surface, applied together by one update step.
struct ZoomParameters {
    std::optional<QImage> image;
    // When image is a preview decoded smaller: the size of the whole picture, which the
    // document takes. Empty otherwise.
    QSize fullSize;
    // The file the image came from: animated GIF and WebP files are played from it.
    QString sourcePath;
    // Degrees, clockwise on screen.
    double rotation = 0;
    bool isAutoSizeWindow = false;
    std::optional<ZoomAction> zoomAction;
    // Normalised image coordinates: 0 to 1 from the left and from the bottom edge.
    std::optional<QPointF> scrollTarget;

    std::function<void()> onZoomActionConsumed;
    // Magnification and the visible part of the image in normalised image coordinates.
    std::function<void(double, const QRectF&)> onStateChange;
    std::function<void()> onScrollTargetConsumed;
    std::function<void()> onDoubleClick;
    std::function<void(bool next)> onNavigateClick;
};

// Owns the views of the zoom surface and remembers what has been applied to them. Each update
// step acts on what differs: a new or turned image, a zoom request, a scroll request. Reports
// that follow a step run later, in order, so their receivers may change the model freely.
class ZoomCoordinator : public QObject {
    Q_OBJECT

public:
    explicit ZoomCoordinator(QObject* parent = nullptr);
    ~ZoomCoordinator() override;

    // Builds and wires the scroll area and its image view, once.
    ZoomScrollArea* makeScrollArea(QWidget* parent);
    void update(const ZoomParameters& parameters);
    // Sends the magnification and the normalised visible rectangle to onStateChange.
    void reportState();
    // Forgets the callbacks and the follow-ups not yet run, and stops any animation.
    void retire();

    PannableImageView* imageView() const;

private:
    void applyImage(const ZoomParameters& p);
    void applyZoomAction(const ZoomParameters& p);
    void applyScrollTarget(const ZoomParameters& p);
    // The follow-up that fits once the window has taken the image's size.
    std::function<void()> fitAfterAutoSize(std::function<void()> consumed);
    void consumedThenReport(const std::function<void()>& consumed);
    void showFrame(const QImage& frame);
    // The document's size: the displayed image's, or for a preview the whole picture's.
    QSizeF documentSize() const;

    QPointer<ZoomScrollArea> m_scrollArea;
    QPointer<PannableImageView> m_imageView;
    std::optional<QImage> m_sourceImage;
    QSize m_fullSize; // of the whole picture, while a preview is the source
    std::optional<QImage> m_displayedImage;
    double m_currentRotation = 0;
    QString m_sourcePath;
    std::function<void(double, const QRectF&)> m_onStateChange;
    std::function<void()> m_onDoubleClick;
    std::function<void(bool)> m_onNavigateClick;
    FollowUpQueue m_followUps;
    FramePlayer m_player;
};
