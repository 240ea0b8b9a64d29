#include "overlays/OverlayCard.h"

#include <QApplication>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

OverlayCard::OverlayCard(QWidget* parent) : QWidget(parent)
{
    constexpr int kInset = 2 * kPadding;
    setContentsMargins(kInset, kInset, kInset, kInset);
}

QRect OverlayCard::cardRect() const
{
    return rect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
}

QFont OverlayCard::headlineFont()
{
    QFont font = QApplication::font();
    font.setBold(true);
    return font;
}

QFont OverlayCard::captionFont()
{
    // The body font a step smaller, whatever the desktop's font sizes are.
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    return font;
}

QLabel* OverlayCard::makeTitle(const QString& text)
{
    auto* title = new QLabel(text);
    title->setFont(headlineFont());
    QPalette palette = title->palette();
    palette.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(palette);
    return title;
}

void OverlayCard::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(cardRect()), kCornerRadius, kCornerRadius);
    painter.fillPath(card, QColor::fromRgbF(0, 0, 0, kOpacity));
}

void OverlayCard::resizeEvent(QResizeEvent*)
{
    setMask(cardRect());
}
