#include "app/WindowFrame.h"

#include "desktop/WindowSystem.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <algorithm>
#include <limits>

namespace app {

namespace {

const QString kGroup = QStringLiteral("Window");
const QString kGeometryKey = QStringLiteral("geometry");
const QString kMaximizedKey = QStringLiteral("maximized");
const QString kPixelsKey = QStringLiteral("pixels");
// The size alone, kept while no position ever was.
const QString kSizeKey = QStringLiteral("size");

qint64 overlapArea(const QRect& a, const QRect& b)
{
    const QRect common = a & b;
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

// Squared distance between the nearest points of two rectangles.
qint64 gap(const QRect& a, const QRect& b)
{
    const qint64 dx = std::max({0, b.left() - a.right(), a.left() - b.right()});
    const qint64 dy = std::max({0, b.top() - a.bottom(), a.top() - b.bottom()});
    return dx * dx + dy * dy;
}

} // namespace

QRect placeOnScreens(const QRect& frame, const QList<QRect>& screens)
{
    if (frame.isEmpty() || screens.isEmpty())
        return frame;
    // Screens do not overlap one another, so their overlaps add up to what is visible: a
    // frame across two screens side by side stays where it is.
    qint64 covered = 0;
    for (const QRect& screen : screens)
        covered += overlapArea(frame, screen);
    if (covered >= qint64(frame.width()) * frame.height())
        return frame;
    const QRect* best = nullptr;
    qint64 bestOverlap = 0;
    qint64 bestGap = std::numeric_limits<qint64>::max();
    for (const QRect& screen : screens) {
        const qint64 overlap = overlapArea(frame, screen);
        const qint64 distance = gap(frame, screen);
        if (overlap > bestOverlap || (bestOverlap == 0 && overlap == 0 && distance < bestGap)) {
            best = &screen;
            bestOverlap = overlap;
            bestGap = distance;
        }
    }
    QRect placed = frame;
    placed.setWidth(std::min(frame.width(), best->width()));
    placed.setHeight(std::min(frame.height(), best->height()));
    placed.moveLeft(std::clamp(placed.left(), best->left(), best->right() + 1 - placed.width()));
    placed.moveTop(std::clamp(placed.top(), best->top(), best->bottom() + 1 - placed.height()));
    return placed;
}

QRect frameToKeep(const QRect& kept, const QRect& frame, bool positionKnown)
{
    if (positionKnown || !frame.isValid())
        return frame;
    return kept.isValid() ? QRect(kept.topLeft(), frame.size()) : QRect();
}

QSize windowPixelsAtStart()
{
    QSettings settings(QStringLiteral("Pelu"), QStringLiteral("Pelu"));
    settings.beginGroup(kGroup);
    if (!settings.contains(kGeometryKey) && !settings.contains(kSizeKey))
        return kDefaultContentSize;
    const QSize pixels = settings.value(kPixelsKey).toSize();
    return pixels.isValid() ? pixels : QSize();
}

bool restoreWindowFrame(QWidget* window)
{
    QSettings settings(QStringLiteral("Pelu"), QStringLiteral("Pelu"));
    settings.beginGroup(kGroup);
    const QRect frame = settings.value(kGeometryKey).toRect();
    const bool maximized = settings.value(kMaximizedKey, false).toBool();
    const bool positioned = frame.isValid() && !frame.isEmpty();
    const QSize size = positioned ? frame.size() : settings.value(kSizeKey).toSize();
    if (!size.isValid() || size.isEmpty())
        return false;
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    if (positioned && desktop::windowPositionsKnown()) {
        window->setGeometry(placeOnScreens(frame, screens));
    } else {
        // The window system places the window; it only has to fit on a screen.
        const QRect placed = placeOnScreens(QRect(QPoint(), size), screens.mid(0, 1));
        window->resize(placed.size());
    }
    if (maximized)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return true;
}

void saveWindowFrame(const QWidget* window)
{
    // A window never shown has no frame of the user's.
    if (!window->testAttribute(Qt::WA_WState_ExplicitShowHide))
        return;
    // Full screen and maximized are states over the frame the window returns to.
    const bool overNormal = window->isFullScreen() || window->isMaximized();
    const QRect frame = overNormal ? window->normalGeometry() : window->geometry();
    QSettings settings(QStringLiteral("Pelu"), QStringLiteral("Pelu"));
    settings.beginGroup(kGroup);
    // Never a position the window system made up: a later X11 session would take it.
    const QRect kept =
        frameToKeep(settings.value(kGeometryKey).toRect(), frame, desktop::windowPositionsKnown());
    if (kept.isValid())
        settings.setValue(kGeometryKey, kept);
    else if (frame.isValid())
        settings.setValue(kSizeKey, frame.size());
    const bool maximized =
        window->isMaximized() || window->windowState().testFlag(Qt::WindowMaximized);
    // The size it reopens with: full screen is left for the frame or for maximized, whose size
    // on the same screen the full screen's stands in for.
    const QSize reopens = window->isFullScreen() && !maximized ? frame.size() : window->size();
    settings.setValue(kPixelsKey, reopens * window->devicePixelRatioF());
    settings.setValue(kMaximizedKey, maximized);
}

} // namespace app
