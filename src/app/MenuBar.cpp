#include "app/MenuBar.h"

#include "state/AppState.h"
#include "viewer/OpenWithMenu.h"
#include "viewer/ToggleGroups.h"

#include <QAction>
#include <QMenu>

MenuBar::MenuBar(AppState& state, AppCommands commands, QWidget* window)
    : QMenuBar(window), m_window(window)
{
    QMenu* file = addMenu(tr("&File"));
    addCommand(file, tr("Open..."), {QKeySequence(Qt::CTRL | Qt::Key_O)}, commands.open);
    file->addSeparator();
    addCommand(file, tr("Close Window"), {QKeySequence(Qt::CTRL | Qt::Key_W)},
               commands.closeWindow);
    addCommand(file, tr("Quit"), {QKeySequence(Qt::CTRL | Qt::Key_Q)}, commands.quit);

    QMenu* edit = addMenu(tr("&Edit"));
    addCommand(edit, tr("Copy Image"), {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C)},
               [&state] { state.copyImageToPasteboard(); });
    addCommand(edit, tr("Reveal in File Manager"), {}, [&state] { state.revealInFinder(); });

    QMenu* view = addMenu(tr("&View"));
    addCommand(view, tr("Full Screen"), {QKeySequence(Qt::Key_F11)}, commands.toggleFullScreen);

    buildImageMenu(state);

    QMenu* help = addMenu(tr("&Help"));
    addCommand(help, tr("About Pelú"), {}, commands.about);
}

QAction* MenuBar::addCommand(QMenu* menu, const QString& title, const QList<QKeySequence>& keys,
                             std::function<void()> effect)
{
    QAction* action = menu->addAction(title);
    action->setShortcuts(keys);
    connect(action, &QAction::triggered, this, [effect = std::move(effect)] {
        if (effect)
            effect();
    });
    m_window->addAction(action);
    return action;
}

void MenuBar::addToggles(QMenu* menu, const QList<QAction*>& toggles,
                         const QList<QKeySequence>& keys)
{
    for (qsizetype i = 0; i < toggles.size(); ++i) {
        toggles[i]->setShortcut(keys.value(i));
        menu->addAction(toggles[i]);
        m_window->addAction(toggles[i]);
    }
}

void MenuBar::buildImageMenu(AppState& state)
{
    QMenu* image = addMenu(tr("&Image"));
    auto* modes = new DisplayModeToggles(state, this);
    addToggles(image, modes->actions(),
               {QKeySequence(Qt::CTRL | Qt::Key_1), QKeySequence(Qt::CTRL | Qt::Key_0),
                QKeySequence(Qt::CTRL | Qt::Key_2)});
    image->addSeparator();
    addCommand(image, tr("Zoom In"),
               {QKeySequence(Qt::CTRL | Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus)},
               [&state] { state.setZoomAction(ZoomAction::zoomIn); });
    addCommand(image, tr("Zoom Out"), {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
               [&state] { state.setZoomAction(ZoomAction::zoomOut); });
    image->addSeparator();
    addCommand(image, tr("Rotate Clockwise"), {QKeySequence(Qt::CTRL | Qt::Key_R)},
               [&state] { state.rotateClockwise(); });
    addCommand(image, tr("Rotate Counter-Clockwise"),
               {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
               [&state] { state.rotateCounterclockwise(); });
    image->addSeparator();
    auto* overlays = new OverlayToggles(state, this);
    addToggles(image, overlays->actions(), {{}, {}, QKeySequence(Qt::CTRL | Qt::Key_T)});
    image->addSeparator();
    image->addMenu(new OpenWithMenu(state, image));
    image->addSeparator();
    // The plain Delete key asks too, as the key does in the viewer.
    addCommand(image, tr("Delete Image"),
               {QKeySequence(Qt::CTRL | Qt::Key_Backspace), QKeySequence(Qt::Key_Delete)},
               [&state] { state.setShowDeleteConfirmation(true); });
}
