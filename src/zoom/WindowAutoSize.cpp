#include "zoom/WindowAutoSize.h"

#include "desktop/WindowSystem.h"
#include "zoom/ZoomScrollArea.h"

#include <QApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace zoom {

namespace {

QWidget* windowToResize(ZoomScrollArea* scrollArea)
{
    if (scrollArea)
        return scrollArea->window();
    if (QWidget* active = QApplication::activeWindow())
        return active;
    const QWidgetList windows = QApplication::topLevelWidgets();
    const auto first = std::find_if(windows.cbegin(), windows.cend(),
                                    [](const QWidget* w) { return w->isWindow(); });
    return first == windows.cend() ? nullptr : *first;
}

} // namespace

QRect autoSizedFrame(const QRect& available, const QSize& chrome, const QSizeF& image)
{
    if (!(image.width() > 0) || !(image.height() > 0))
        return {};
    const double s = std::clamp(std::min((available.width() - chrome.width()) / image.width(),
                                         (available.height() - chrome.height()) / image.height()),
                                0.0, 1.0);
    // std::lround rounds halves away from zero.
    const int width = chrome.width() + int(std::lround(image.width() * s));
    const int height = chrome.height() + int(std::lround(image.height() * s));
    const double x = available.x() + (available.width() - width) * 0.5;
    const double y = available.y() + (available.height() - height) * 0.5;
    return {int(std::lround(x)), int(std::lround(y)), width, height};
}

void resizeWindowToImage(ZoomScrollArea* scrollArea, const QSizeF& image)
{
    QWidget* window = windowToResize(scrollArea);
    if (!window || window->isFullScreen() || window->isMaximized())
        return;
    const QScreen* screen = window->screen();
    if (!screen)
        return;
    const QSize frame = window->frameGeometry().size();
    const QSize decorations = frame - window->size();
    const bool areaHasSize = scrollArea && scrollArea->width() > 0 && scrollArea->height() > 0;
    const QSize chrome = areaHasSize ? frame - scrollArea->size() : decorations;
    const QRect target = autoSizedFrame(screen->availableGeometry(), chrome, image);
    if (target.isNull())
        return;
    window->resize(target.size() - decorations);
    // On Wayland the compositor keeps the window where it is: only its size changes.
    if (desktop::windowPositionsKnown())
        window->move(target.topLeft());
}

} // namespace zoom
