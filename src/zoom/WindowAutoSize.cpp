#include "zoom/WindowAutoSize.h"

#include "desktop/WindowSystem.h"
#include "zoom/ZoomScrollArea.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>
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

// A window manager tells of the frame it adds only once it has taken the window in, and the
// window's own parts (menu bar) have their sizes only once laid out: a size chosen before then
// leaves them out, and the window ends up taller than the screen. The window is fitted once
// more when either turns out other than assumed, within a while.
class FrameWatch : public QObject {
public:
    static constexpr const char* kName = "pelu-frame-watch";

    FrameWatch(QWidget* window, ZoomScrollArea* area, const QSizeF& image, const QSize& assumed,
               bool areaLaidOut)
        : QObject(window), m_window(window), m_area(area), m_image(image), m_assumed(assumed),
          m_areaLaidOut(areaLaidOut)
    {
        // Found by name: without a meta-object of its own, a typed search would match any child.
        setObjectName(QString::fromLatin1(kName));
        window->installEventFilter(this);
        QTimer::singleShot(kWatchMs, this, &QObject::deleteLater);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const QEvent::Type type = event->type();
        if (watched == m_window &&
            (type == QEvent::Move || type == QEvent::Resize || type == QEvent::Show) &&
            (m_window->frameGeometry().size() - m_window->size() != m_assumed ||
             (!m_areaLaidOut && m_area && !m_area->size().isEmpty()))) {
            m_window->removeEventFilter(this);
            deleteLater();
            // After the window system's own handling of this event.
            QTimer::singleShot(0, m_window, [area = m_area, image = m_image] {
                if (area)
                    resizeWindowToImage(area, image);
            });
        }
        return false;
    }

private:
    static constexpr int kWatchMs = 2000;
    QWidget* m_window;
    QPointer<ZoomScrollArea> m_area;
    QSizeF m_image;
    QSize m_assumed;
    bool m_areaLaidOut;
};

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
    if (desktop::windowPositionsKnown()) {
        window->move(target.topLeft());
        if (scrollArea && !window->findChild<QObject*>(QString::fromLatin1(FrameWatch::kName),
                                                     Qt::FindDirectChildrenOnly))
            new FrameWatch(window, scrollArea, image, decorations, areaHasSize);
    }
}

} // namespace zoom
