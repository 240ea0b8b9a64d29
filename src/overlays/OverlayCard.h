#pragma once

#include <QWidget>

class QLabel;

// The dark rounded card that the metadata panel and the histogram sit on, placed in the
// top-left corner of the area the viewer gives it with the standard padding outside. The
// margin around the card is not part of the widget's mask, so pointer presses there reach
// the image below.
class OverlayCard : public QWidget {
    Q_OBJECT

public:
    // The standard padding, inside the card and around it.
    static constexpr int kPadding = 12;
    static constexpr qreal kCornerRadius = 8;
    static constexpr qreal kOpacity = 0.8;

    explicit OverlayCard(QWidget* parent = nullptr);

    // The card within the widget; the contents margins keep the content inside it.
    QRect cardRect() const;

    static QFont headlineFont();
    static QFont captionFont();
    // The card's title: headline font, white.
    static QLabel* makeTitle(const QString& text);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};
