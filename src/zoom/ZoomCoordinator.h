#pragma once

#include "zoom/FollowUpQueue.h"
#include "zoom/FramePlayer.h"
#include "zoom/ZoomParameters.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <functional>
#include <optional>

class PannableImageView;
class ZoomScrollArea;

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
    // Reports the magnification and the normalised visible rectangle.
    void reportState();
    // Stops reporting, drops the follow-ups not yet run and stops any animation.
    void retire();

    PannableImageView* imageView() const;

Q_SIGNALS:
    void zoomActionConsumed();
    void scrollTargetConsumed();
    // Magnification and the visible part of the image in normalised image coordinates.
    void stateChanged(double magnification, const QRectF& visibleRect);

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
    // Quiet until the first update step is over: the first report carries the zoom the first
    // image settles at, not the steps on the way there.
    bool m_isReporting = false;
    FollowUpQueue m_followUps;
    FramePlayer m_player;
};
