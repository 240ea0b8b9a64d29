#pragma once

#include "../support/TestSupport.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

namespace apptest {

using testsupport::settings;

inline QString makeImage(const QString& folder, const QString& name, QSize size = {24, 16})
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = folder + QLatin1Char('/') + name;
    image.save(path);
    return path;
}

// Every menu of the bar with its items, submenus included.
inline QList<QAction*> allActions(QMenuBar* bar)
{
    QList<QAction*> found;
    QList<QAction*> pending = bar->actions();
    while (!pending.isEmpty()) {
        QAction* action = pending.takeFirst();
        if (action->isSeparator())
            continue;
        found.append(action);
        if (QMenu* menu = action->menu())
            pending.append(menu->actions());
    }
    return found;
}

} // namespace apptest
