#include "viewer/OpenWithMenu.h"

#include "state/AppState.h"

#include <QFileDialog>

namespace {
// Where the system keeps its applications' desktop files.
const QString kApplicationsFolder = QStringLiteral("/usr/share/applications");
} // namespace

OpenWithMenu::OpenWithMenu(AppState& state, QWidget* parent)
    : QMenu(tr("Open With"), parent), m_state(state)
{
    // Asking the system for applications waits until the submenu is really opened.
    connect(this, &QMenu::aboutToShow, this, &OpenWithMenu::rebuild);
}

void OpenWithMenu::rebuild()
{
    clear();
    for (const desktop::OpenWithApp& app : m_state.openWithApplications()) {
        QAction* item = addAction(desktop::applicationIcon(app), app.name);
        item->setData(app.url);
        connect(item, &QAction::triggered, this, [this, url = app.url] { m_state.openWith(url); });
    }
    addSeparator();
    connect(addAction(tr("Other...")), &QAction::triggered, this,
            &OpenWithMenu::chooseOtherApplication);
}

void OpenWithMenu::chooseOtherApplication()
{
    if (!m_state.currentURL())
        return;
    // Over the window the menu belongs to, not over the menu's own popup.
    QWidget* host = parentWidget();
    while (qobject_cast<QMenu*>(host))
        host = host->parentWidget();
    // A context menu is deleted once it has closed, which may be while the dialog is up: the
    // dialog never blocks here and answers to the window and the model, not to this menu.
    auto* dialog = new QFileDialog(host ? host->window() : nullptr, QString(), kApplicationsFolder,
                                   tr("Applications (*.desktop)"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setLabelText(QFileDialog::Accept, tr("Open"));
    dialog->setWindowModality(Qt::ApplicationModal);
    AppState* state = &m_state;
    connect(dialog, &QFileDialog::fileSelected, state, [state](const QString& application) {
        state->openWith(QUrl::fromLocalFile(application));
    });
    dialog->show();
}
