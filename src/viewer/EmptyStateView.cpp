#include "viewer/EmptyStateView.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {
constexpr int kGlyphSize = 48;
constexpr int kSpacing = 12;
constexpr int kSideMargin = 16;

QColor white(double opacity)
{
    return QColor(255, 255, 255, int(opacity * 255));
}

// A neutral picture glyph: a framed landscape with a sun.
void drawPhotoGlyph(QPainter& painter, const QRectF& box)
{
    const QRectF frame = box.adjusted(2, 8, -2, -8);
    painter.setPen(QPen(white(0.4), 3));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(frame, 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(white(0.4));
    painter.drawEllipse(QPointF(frame.right() - 10, frame.top() + 9), 4, 4);
    QPainterPath hills;
    hills.moveTo(frame.left() + 4, frame.bottom() - 4);
    hills.lineTo(frame.left() + 16, frame.top() + 14);
    hills.lineTo(frame.left() + 26, frame.bottom() - 12);
    hills.lineTo(frame.left() + 32, frame.top() + 20);
    hills.lineTo(frame.right() - 4, frame.bottom() - 4);
    hills.closeSubpath();
    painter.drawPath(hills);
}
} // namespace

EmptyStateView::EmptyStateView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    showInvitation();
}

void EmptyStateView::showInvitation()
{
    setTexts(tr("Open an image to start"), tr("Drop a file or use File > Open"), false);
}

void EmptyStateView::showRefusal(const QString& fileName, imaging::DecodeFailure reason)
{
    setTexts(fileName, reasonText(reason), true);
}

QString EmptyStateView::reasonText(imaging::DecodeFailure reason)
{
    switch (reason) {
    case imaging::DecodeFailure::missing:
        return tr("This file no longer exists");
    case imaging::DecodeFailure::damaged:
        return tr("This file is damaged or incomplete");
    case imaging::DecodeFailure::tooLarge:
        return tr("This image is larger than 200 megapixels");
    case imaging::DecodeFailure::unsupported:
    case imaging::DecodeFailure::none:
        break;
    }
    return tr("This kind of file can't be shown");
}

void EmptyStateView::setTexts(const QString& title, const QString& hint, bool isRefusal)
{
    if (title == m_title && hint == m_hint && isRefusal == m_isRefusal)
        return;
    m_isRefusal = isRefusal;
    m_title = title;
    m_hint = hint;
    update();
}

void EmptyStateView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont body = font();
    // The caption is the body font a step smaller, whatever the desktop's font sizes are.
    QFont caption = body;
    caption.setPointSizeF(body.pointSizeF() * 0.85);
    const QFontMetrics bodyMetrics(body);
    const QFontMetrics captionMetrics(caption);

    const int height =
        kGlyphSize + kSpacing + bodyMetrics.height() + kSpacing + captionMetrics.height();
    int y = (this->height() - height) / 2;
    drawPhotoGlyph(painter, QRectF((width() - kGlyphSize) / 2.0, y, kGlyphSize, kGlyphSize));
    y += kGlyphSize + kSpacing;

    painter.setFont(body);
    painter.setPen(white(0.5));
    // A long file name gives up its middle, where names differ least.
    const int room = std::max(0, width() - 2 * kSideMargin);
    painter.drawText(QRect(0, y, width(), bodyMetrics.height()),
                     Qt::AlignHCenter | Qt::AlignVCenter,
                     bodyMetrics.elidedText(m_title, Qt::ElideMiddle, room));
    y += bodyMetrics.height() + kSpacing;

    painter.setFont(caption);
    // The reason is what the person came to read: as clear as the name above it.
    painter.setPen(white(m_isRefusal ? 0.5 : 0.3));
    painter.drawText(QRect(0, y, width(), captionMetrics.height()),
                     Qt::AlignHCenter | Qt::AlignVCenter,
                     captionMetrics.elidedText(m_hint, Qt::ElideRight, room));
}
