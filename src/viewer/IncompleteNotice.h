#pragma once

#include <QWidget>

// "This file is incomplete", over the picture of a file whose data ends early: what is shown
// is only the part that could be read.
class IncompleteNotice : public QWidget {
    Q_OBJECT

public:
    explicit IncompleteNotice(QWidget* parent = nullptr);

    // Centred near the top of area.
    void placeIn(const QRect& area);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
