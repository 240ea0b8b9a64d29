#pragma once

#include "base/TestAccess.h"

#include <QWidget>

class QGraphicsOpacityEffect;
class QPropertyAnimation;

// The small rounded label in the top-right corner: position and zoom.
class StatusBarLabel : public QWidget {
    Q_OBJECT

public:
    explicit StatusBarLabel(QWidget* parent = nullptr);

    // An empty position leaves only the zoom text.
    void setTexts(const QString& position, const QString& zoom);

    // Fades to fully shown or hidden over 0.3 s.
    void setShown(bool shown);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend struct TestAccess;

    QString m_position;
    QString m_zoom;
    QGraphicsOpacityEffect* m_effect;
    QPropertyAnimation* m_fade;
};
