#include "viewer/IncompleteNotice.h"

#include <QPainter>
#include <QPainterPath>

namespace {
constexpr int kPaddingX = 14;
constexpr int kPaddingY = 8;
constexpr int kTopMargin = 16;
constexpr qreal kCornerRadius = 6;
} // namespace

IncompleteNotice::IncompleteNotice(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

QSize IncompleteNotice::sizeHint() const
{
    const QSize text = fontMetrics().size(Qt::TextSingleLine, tr("This file is incomplete"));
    return text + QSize(2 * kPaddingX, 2 * kPaddingY);
}

void IncompleteNotice::placeIn(const QRect& area)
{
    const QSize size = sizeHint();
    setGeometry(area.x() + (area.width() - size.width()) / 2, area.y() + kTopMargin,
                size.width(), size.height());
}

void IncompleteNotice::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, QColor(0, 0, 0, int(0.75 * 255)));
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter, tr("This file is incomplete"));
}
