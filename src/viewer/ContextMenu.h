#pragma once

#include <QMenu>

class AppState;

// The context menu of the shown image, built from the model as it is at that moment: copy,
// reveal, open with, the display modes, rotation, the overlays, delete.
class ContextMenu : public QMenu {
    Q_OBJECT

public:
    ContextMenu(AppState& state, QWidget* parent = nullptr);
};
