#include "app/AppStyle.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
#include <QPixmap>
#include <QStyleFactory>
#include <QStyleOption>

namespace app {

namespace {
const QString kDefaultStyle = QStringLiteral("fusion");
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
    const QIcon icon = iconFromPngs(files);
    return icon.isNull() ? QProxyStyle::standardIcon(which, option, widget) : icon;
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
