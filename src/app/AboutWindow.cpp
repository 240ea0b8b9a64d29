#include "app/AboutWindow.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr int kWidth = 340;
constexpr int kHeight = 320;
constexpr int kPadding = 24;
constexpr int kSpacing = 16;
constexpr int kIconSide = 96;
constexpr qreal kIconRadius = 22;

// The text colour faded toward the background, opaque so that rich text can use it too.
QColor dimmed(const QPalette& palette, qreal opacity)
{
    const QColor text = palette.color(QPalette::WindowText);
    const QColor back = palette.color(QPalette::Window);
    const auto mix = [opacity](int t, int b) { return qRound(b + (t - b) * opacity); };
    return QColor(mix(text.red(), back.red()), mix(text.green(), back.green()),
                  mix(text.blue(), back.blue()));
}

void setTextColour(QLabel* label, const QColor& colour)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

QFont scaledFont(const QFont& base, qreal factor, bool bold = false)
{
    QFont font = base;
    font.setPointSizeF(base.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

// The icon at 96 points, its corners rounded with an antialiased edge.
QPixmap roundedIcon(qreal dpr)
{
    QImage source(QStringLiteral(":/AppIcon"));
    if (source.isNull())
        source = QApplication::windowIcon().pixmap(256).toImage();
    const int side = qRound(kIconSide * dpr);
    QImage canvas(side, side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    if (!source.isNull()) {
        const QImage scaled =
            source.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        QPainter painter(&canvas);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(0, 0, side, side), kIconRadius * dpr, kIconRadius * dpr);
        painter.setClipPath(outline);
        painter.drawImage((side - scaled.width()) / 2, (side - scaled.height()) / 2, scaled);
    }
    QPixmap pixmap = QPixmap::fromImage(canvas);
    pixmap.setDevicePixelRatio(dpr);
    return pixmap;
}

// A line-drawn globe the height of the link's text.
QPixmap globe(int side, const QColor& colour, qreal dpr)
{
    QPixmap pixmap(QSize(side, side) * dpr);
    pixmap.setDevicePixelRatio(dpr);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 1.2));
    const QRectF ball = QRectF(0, 0, side, side).adjusted(1, 1, -1, -1);
    painter.drawEllipse(ball);
    painter.drawEllipse(ball.adjusted(ball.width() * 0.3, 0, -ball.width() * 0.3, 0));
    painter.drawLine(QPointF(ball.left(), ball.center().y()),
                     QPointF(ball.right(), ball.center().y()));
    return pixmap;
}

QLabel* linkLabel(const QUrl& url, const QString& text, const QString& style, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::RichText);
    label->setText(QStringLiteral("<a href=\"%1\" style=\"%2\">%3</a>")
                       .arg(url.toString(QUrl::FullyEncoded), style, text.toHtmlEscaped()));
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setCursor(Qt::PointingHandCursor);
    // Handed to the desktop, which opens it in the web browser.
    QObject::connect(label, &QLabel::linkActivated, label,
                     [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    return label;
}

} // namespace

QUrl AboutWindow::productUrl()
{
    return QUrl(QStringLiteral("https://pelu.example.org/"));
}

QUrl AboutWindow::makerUrl()
{
    return QUrl(QStringLiteral("https://contributors.pelu.example.org/"));
}

QString AboutWindow::description()
{
    //: One line under the version. English: A quick, quiet viewer for your pictures.
    const QString text = tr("About.description");
    if (text != QLatin1String("About.description"))
        return text;
    return QStringLiteral("A quick, quiet viewer for your pictures.");
}

AboutWindow::AboutWindow(const QString& appVersion, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint)
{
    setObjectName(QLatin1String(kObjectName));
    setWindowTitle(tr("About Pelú"));
    setFixedSize(kWidth, kHeight);
    // Escape and Ctrl+W close it, as they close a small window anywhere on the desktop.
    auto* close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);

    const QFont body = font();
    const qreal dpr = devicePixelRatioF();
    const QColor secondary = dimmed(palette(), 0.6);
    const QColor tertiary = dimmed(palette(), 0.4);

    auto* stack = new QVBoxLayout(this);
    stack->setContentsMargins(kSpacing, kPadding, kSpacing, kPadding);
    stack->setSpacing(kSpacing);
    stack->addStretch();

    auto* icon = new QLabel(this);
    icon->setPixmap(roundedIcon(dpr));
    stack->addWidget(icon, 0, Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("Pelú"), this);
    name->setFont(scaledFont(body, 1.6, true));
    stack->addWidget(name, 0, Qt::AlignHCenter);

    auto* version = new QLabel(tr("Version %1").arg(appVersion), this);
    version->setFont(scaledFont(body, 0.92));
    setTextColour(version, secondary);
    stack->addWidget(version, 0, Qt::AlignHCenter);

    auto* about = new QLabel(description(), this);
    about->setAlignment(Qt::AlignHCenter);
    about->setWordWrap(true);
    setTextColour(about, secondary);
    stack->addWidget(about);

    auto* product = new QWidget(this);
    auto* row = new QHBoxLayout(product);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    auto* host = linkLabel(productUrl(), productUrl().host(), QString(), product);
    host->setFont(scaledFont(body, 0.92));
    auto* globeIcon = new QLabel(product);
    globeIcon->setPixmap(
        globe(QFontMetrics(host->font()).height() - 2, palette().color(QPalette::Link), dpr));
    row->addWidget(globeIcon, 0, Qt::AlignVCenter);
    row->addWidget(host, 0, Qt::AlignVCenter);
    stack->addWidget(product, 0, Qt::AlignHCenter);

    stack->addStretch();

    auto* maker =
        linkLabel(makerUrl(), tr("Made by the Pelu contributors"),
                  QStringLiteral("color: %1; text-decoration: none;").arg(tertiary.name()), this);
    maker->setFont(scaledFont(body, 0.85));
    stack->addWidget(maker, 0, Qt::AlignHCenter);
}
