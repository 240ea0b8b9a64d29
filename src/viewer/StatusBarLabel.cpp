#include "viewer/StatusBarLabel.h"

#include <QFontDatabase>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>

namespace {
constexpr int kPaddingX = 8;
constexpr int kPaddingY = 4;
constexpr int kSpacing = 8;
constexpr qreal kCornerRadius = 4;

QFont captionFont()
{
    // Fixed-width digits keep the label from jittering as the numbers change.
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(QFontDatabase::systemFont(QFontDatabase::SmallestReadableFont).pointSizeF() +
                       1);
    return font;
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
    int width = metrics.horizontalAdvance(m_zoom);
    if (!m_position.isEmpty())
        width += kSpacing + metrics.horizontalAdvance(m_position);
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
    QRect textArea = rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
    if (!m_position.isEmpty()) {
        painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, m_position);
        textArea.setLeft(textArea.left() + QFontMetrics(font()).horizontalAdvance(m_position) +
                         kSpacing);
    }
    painter.drawText(textArea, Qt::AlignLeft | Qt::AlignVCenter, m_zoom);
}
