#pragma once

#include "base/TestAccess.h"

#include <QTimer>
#include <QWidget>
#include <optional>

class QVariantAnimation;

// A thin scroll bar laid over the picture: a translucent thumb on a darker track, shown while
// the view scrolls or zooms and faded out a second later. It takes no layout space: its owner
// places it along an edge of the view and it hides itself when the whole extent is visible.
// The thumb can be dragged and the track clicked to jump; the wheel passes through to the owner.
class OverlayScrollBar : public QWidget {
    Q_OBJECT

public:
    explicit OverlayScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);
    ~OverlayScrollBar() override;

    // The visible part of the extent, as fractions of it, from the left or from the top.
    void setSpan(double start, double length);
    // True while the span leaves part of the extent unseen.
    bool isNeeded() const;

    // Shows the bar (when needed) and restarts the countdown to its fade.
    void flash();

    // Across the bar, in logical pixels.
    static constexpr int kThickness = 10;

Q_SIGNALS:
    // The user moved the thumb: the new start of the visible part, as a fraction of the extent.
    void dragged(double start);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    friend struct TestAccess;

    double along(const QPointF& pos) const;
    double trackLength() const;
    QRectF thumbRect() const;
    void fadeTo(double target);
    void scheduleFade();

    Qt::Orientation m_orientation;
    double m_start = 0;
    double m_length = 1;
    double m_opacity = 0; // 0 while faded out, 1 while fully shown
    bool m_isHovered = false;
    // Where in the thumb the press landed, as a fraction of the extent; none while not dragging.
    std::optional<double> m_grabOffset;
    QTimer m_hideTimer;
    QVariantAnimation* m_fade;
};
