#include "app/AppStyle.h"

#include <QApplication>
#include <QIcon>
#include <QIconEngine>
#include <QImageReader>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>

#include <optional>
#include <utility>

namespace app {

namespace {

const QString kDefaultStyle = QStringLiteral("fusion");

// The files read on first use: the menu bar asks for its overflow arrow while it is built, and
// shows it only when the window is too narrow for the menus.
class LazyPngIcon : public QIconEngine {
public:
    explicit LazyPngIcon(QStringList files) : m_files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override
    {
        return icon().pixmap(size, scale, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QIconEngine* clone() const override { return new LazyPngIcon(*this); }

private:
    const QIcon& icon()
    {
        if (!m_icon)
            m_icon = iconFromPngs(m_files);
        return *m_icon;
    }

    QStringList m_files;
    std::optional<QIcon> m_icon;
};

} // namespace

QIcon AppStyle::standardIcon(StandardPixmap which, const QStyleOption* option,
                             const QWidget* widget) const
{
    if (which != SP_ToolBarHorizontalExtensionButton)
        return QProxyStyle::standardIcon(which, option, widget);
    // The files Qt's common style reads for it.
    const bool rightToLeft =
        (option ? option->direction : QGuiApplication::layoutDirection()) == Qt::RightToLeft;
    const QString pattern = rightToLeft
                                ? QStringLiteral(":/qt-project.org/styles/commonstyle/images/"
                                                 "toolbar-ext-h-rtl-%1.png")
                                : QStringLiteral(":/qt-project.org/styles/commonstyle/images/"
                                                 "toolbar-ext-h-%1.png");
    QStringList files;
    for (const int side : {8, 16, 32})
        files.append(pattern.arg(side));
    return QIcon(new LazyPngIcon(std::move(files)));
}

QIcon iconFromPngs(const QStringList& files)
{
    QIcon icon;
    for (const QString& file : files) {
        QImageReader reader(file, "png");
        reader.setAutoDetectImageFormat(false);
        const QImage image = reader.read();
        if (!image.isNull())
            icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

void installAppStyle()
{
    if (QApplication::style()->name() != kDefaultStyle)
        return;
    QApplication::setStyle(new AppStyle(QStyleFactory::create(kDefaultStyle)));
}

} // namespace app
