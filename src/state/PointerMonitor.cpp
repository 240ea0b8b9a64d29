#include "state/PointerMonitor.h"

#include <QCoreApplication>
#include <QMouseEvent>

PointerMonitor::PointerMonitor(std::function<void()> onMove, QObject* parent)
    : QObject(parent), m_onMove(std::move(onMove))
{
    if (auto* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
        m_installed = true;
    }
}

PointerMonitor::~PointerMonitor()
{
    if (m_installed && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool PointerMonitor::eventFilter(QObject* watched, QEvent* event)
{
    // The window sees every move whether or not a widget tracks the mouse; counting
    // only window-level events avoids seeing the same move twice. A move with a button
    // held is a drag (panning, say), not the pointer coming back to the window.
    if (event->type() == QEvent::MouseMove && watched->isWindowType() && m_onMove &&
        static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton)
        m_onMove();
    return false;
}
