#pragma once

#include <QWidget>

// The invitation shown when no image is open.
class EmptyStateView : public QWidget {
    Q_OBJECT

public:
    explicit EmptyStateView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
