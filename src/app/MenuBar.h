#pragma once

#include <QMenuBar>
#include <functional>

class AppState;
class QMenu;

// What the menus ask of the application rather than of the model.
struct AppCommands {
    std::function<void()> open;
    std::function<void()> closeWindow;
    std::function<void()> quit;
    std::function<void()> toggleFullScreen;
    std::function<void()> about;
};

// File, Edit, View, Image and Help. No item is ever disabled; every state operation copes with
// no image being shown. The shortcuts belong to the window as well as to the menus, so they
// work wherever the focus is and also while the bar is hidden in full screen.
class MenuBar : public QMenuBar {
    Q_OBJECT

public:
    MenuBar(AppState& state, AppCommands commands, QWidget* window);

private:
    QAction* addCommand(QMenu* menu, const QString& title, const QList<QKeySequence>& keys,
                        std::function<void()> effect);
    // A group's check items, in place, with their shortcuts.
    void addToggles(QMenu* menu, const QList<QAction*>& toggles, const QList<QKeySequence>& keys);
    void buildImageMenu(AppState& state);

    QWidget* m_window;
};
