#pragma once

#include <QMenu>

class AppState;

// The "Open With" submenu: the applications for the shown file with their icons, then
// "Other..." for any application the user picks. Its content is read afresh each time it opens.
class OpenWithMenu : public QMenu {
    Q_OBJECT

public:
    explicit OpenWithMenu(AppState& state, QWidget* parent = nullptr);

    // Fills the menu from the model as it is now; opening the menu does this.
    void rebuild();

private:
    void chooseOtherApplication();

    AppState& m_state;
};
