#pragma once

#include <QObject>
#include <functional>

// Application-wide filter that sees every pointer movement over our windows before
// any widget does, and lets the event through unchanged. Only moves with no button held count.
class PointerMonitor : public QObject {
    Q_OBJECT

public:
    explicit PointerMonitor(std::function<void()> onMove, QObject* parent = nullptr);
    ~PointerMonitor() override;

    // False when there is no application object to watch.
    bool isInstalled() const { return m_installed; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onMove;
    bool m_installed = false;
};
