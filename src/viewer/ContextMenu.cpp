#include "viewer/ContextMenu.h"

#include "state/AppState.h"
#include "viewer/OpenWithMenu.h"
#include "viewer/ToggleGroups.h"

ContextMenu::ContextMenu(AppState& state, QWidget* parent) : QMenu(parent)
{
    addAction(tr("Copy Image"), &state, &AppState::copyImageToPasteboard);
    addAction(tr("Reveal in File Manager"), &state, &AppState::revealInFinder);
    addMenu(new OpenWithMenu(state, this));
    addSeparator();
    (new DisplayModeToggles(state, this))->addTo(this);
    addSeparator();
    addAction(tr("Rotate Clockwise"), &state, &AppState::rotateClockwise);
    addAction(tr("Rotate Counter-Clockwise"), &state, &AppState::rotateCounterclockwise);
    addSeparator();
    (new OverlayToggles(state, this))->addTo(this);
    addSeparator();
    // Menus have no destructive style here; the Trash icon marks the item instead.
    addAction(QIcon::fromTheme(QStringLiteral("user-trash")), tr("Delete Image"), &state,
              [&state] { state.setShowDeleteConfirmation(true); });
}
