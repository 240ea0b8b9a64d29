#pragma once

#include <QProxyStyle>
#include <QStringList>

namespace app {

// The platform's default style, with one difference: the menu bar's overflow arrow is read as
// the PNG it is, and only when drawn. Left to the style, QIcon asks every image plugin what the
// file is, loading them all while the window is built (about 10 ms before the first frame).
class AppStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QIcon standardIcon(StandardPixmap which, const QStyleOption* option,
                       const QWidget* widget) const override;
};

// The PNG files as one icon, read as PNG outright: QIcon::addFile asks every image plugin what
// a file is, loading them all. Files that do not read are left out.
QIcon iconFromPngs(const QStringList& files);

// Wraps the application's style in AppStyle when it is the default one; a style the user
// chose is left alone.
void installAppStyle();

} // namespace app
