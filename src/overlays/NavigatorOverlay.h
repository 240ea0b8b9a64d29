#pragma once

#include <QImage>
#include <QWidget>

class AppState;

// The mini-map laid over a zoomed image: the whole image, darkened but for the part the
// zoom surface shows, which is bright and outlined. Pressing or dragging in it centres the
// view on that point (the model's scrollTarget) and reports the drag (isNavigatorDragging),
// so the viewer keeps it on screen until the button is released.
class NavigatorOverlay : public QWidget {
    Q_OBJECT

public:
    static constexpr double kMaxDimension = 150;

    explicit NavigatorOverlay(AppState& state, QWidget* parent = nullptr);

    // The mini-map of the shown image, unrotated.
    QSizeF miniMapSize() const;
    QSize sizeHint() const override;

    // The small copy drawn on each paint, and whether it is already the smooth one (a quick
    // sampled copy stands in while that is made in the background).
    const QImage& copy() const { return m_bright; }
    bool isCopySmooth() const { return m_smooth; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refreshCopies();
    void navigate(const QPointF& position);
    void endDrag();

    AppState& m_state;
    QImage m_bright;
    QImage m_dark;
    qint64 m_copyKey = 0;
    bool m_smooth = false;
    bool m_dragging = false;
};
