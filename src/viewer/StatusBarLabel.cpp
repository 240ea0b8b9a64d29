#include "viewer/StatusBarLabel.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

#include <algorithm>

namespace {
constexpr int kPaddingX = 8;
constexpr int kPaddingY = 4;
constexpr int kSpacing = 8;
constexpr qreal kCornerRadius = 4;

QFont captionFont()
{
    QFont font = QApplication::font();
    font.setPointSizeF(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF() +
                       1);
    return font;
}

// Every digit takes the widest digit's advance, so the label keeps its width and the numbers do
// not jitter as they change. In the window's own font: a second, fixed-width one held the first
// frame back while it loaded.
int digitCell(const QFontMetrics& metrics)
{
    int cell = 0;
    for (char digit = '0'; digit <= '9'; ++digit)
        cell = std::max(cell, metrics.horizontalAdvance(QLatin1Char(digit)));
    return cell;
}

// The cell is measured over 0-9 alone: another script's digits keep their own advance.
bool isCellDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

int advance(const QFontMetrics& metrics, int cell, QChar c)
{
    return isCellDigit(c) ? cell : metrics.horizontalAdvance(c);
}

int textWidth(const QFontMetrics& metrics, const QString& text)
{
    const int cell = digitCell(metrics);
    int width = 0;
    for (const QChar c : text)
        width += advance(metrics, cell, c);
    return width;
}

// Draws text from x on the baseline; returns where it ends.
int drawText(QPainter& painter, const QFontMetrics& metrics, int x, int baseline,
             const QString& text)
{
    const int cell = digitCell(metrics);
    for (const QChar c : text) {
        const int width = advance(metrics, cell, c);
        // A narrow digit sits in the middle of its cell.
        const int inset = isCellDigit(c) ? (cell - metrics.horizontalAdvance(c)) / 2 : 0;
        painter.drawText(QPoint(x + inset, baseline), QString(c));
        x += width;
    }
    return x;
}
} // namespace

StatusBarLabel::StatusBarLabel(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(captionFont());
    m_effect = new QGraphicsOpacityEffect(this);
    m_effect->setOpacity(1.0);
    setGraphicsEffect(m_effect);
    m_fade = new QPropertyAnimation(m_effect, "opacity", this);
    m_fade->setDuration(300);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
}

void StatusBarLabel::setTexts(const QString& position, const QString& zoom)
{
    if (position == m_position && zoom == m_zoom)
        return;
    m_position = position;
    m_zoom = zoom;
    updateGeometry();
    resize(sizeHint());
    update();
}

void StatusBarLabel::setShown(bool shown)
{
    const qreal target = shown ? 1.0 : 0.0;
    if (m_fade->state() == QAbstractAnimation::Running && m_fade->endValue().toReal() == target)
        return;
    m_fade->stop();
    m_fade->setStartValue(m_effect->opacity());
    m_fade->setEndValue(target);
    m_fade->start();
}

QSize StatusBarLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    int width = textWidth(metrics, m_zoom);
    if (!m_position.isEmpty())
        width += kSpacing + textWidth(metrics, m_position);
    return {width + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

void StatusBarLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, QColor(0, 0, 0, int(0.6 * 255)));
    painter.setPen(Qt::white);
    const QFontMetrics metrics(font());
    const QRect textArea = rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
    const int baseline =
        textArea.top() + (textArea.height() - metrics.height()) / 2 + metrics.ascent();
    int x = textArea.left();
    if (!m_position.isEmpty())
        x = drawText(painter, metrics, x, baseline, m_position) + kSpacing;
    drawText(painter, metrics, x, baseline, m_zoom);
}
