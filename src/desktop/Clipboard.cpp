#include "desktop/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>

namespace desktop {

void copyImage(const QImage& image)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setImage(image);
}

} // namespace desktop
