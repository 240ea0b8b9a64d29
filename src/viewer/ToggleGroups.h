#pragma once

#include "state/Modes.h"

#include <QList>
#include <QObject>
#include <functional>

class AppState;
class QAction;
class QMenu;

// Three check items that write AppState when chosen and show its values; placed in place in
// any menu. The check marks follow the model, so a menu that stays built stays right.
class ToggleGroup : public QObject {
    Q_OBJECT

public:
    const QList<QAction*>& actions() const { return m_actions; }
    void addTo(QMenu* menu) const;

protected:
    ToggleGroup(AppState& state, QObject* parent);
    // An item whose setter receives the new check state, the opposite of the one shown.
    QAction* addItem(const QString& text, std::function<void(bool)> setter);
    // The check marks from the model.
    virtual void refresh() = 0;

    AppState& m_state;

private:
    QList<QAction*> m_actions;
};

// "Fit to Window", "Actual Size", "Auto-Size Window": one is always checked.
class DisplayModeToggles : public ToggleGroup {
    Q_OBJECT

public:
    DisplayModeToggles(AppState& state, QObject* parent);

private:
    void refresh() override;
    // Whether the view is at the size the mode gives the picture, as it last reported.
    bool viewShowsSizeOf(DisplayMode mode) const;
};

// "Metadata" and "Histogram", at most one checked, and "Thumbnails".
class OverlayToggles : public ToggleGroup {
    Q_OBJECT

public:
    OverlayToggles(AppState& state, QObject* parent);

private:
    void refresh() override;
};
