#include "viewer/DeleteDialogs.h"

#include "state/AppState.h"

#include <QMessageBox>
#include <QPushButton>

namespace {

QMessageBox* windowModalBox(QWidget* window, const QString& title, const QString& text)
{
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setWindowTitle(title);
    box->setText(text);
    return box;
}

} // namespace

DeleteDialogs::DeleteDialogs(AppState& state, QWidget* window)
    : QObject(window), m_state(state), m_window(window)
{
    connect(&state, &AppState::showDeleteConfirmationChanged, this,
            &DeleteDialogs::syncConfirmation);
    connect(&state, &AppState::deleteErrorChanged, this, &DeleteDialogs::syncError);
}

QString DeleteDialogs::confirmationMessage(const QString& fileName)
{
    return tr("Move \"%1\" to the Trash?").arg(fileName);
}

void DeleteDialogs::syncConfirmation()
{
    if (!m_state.showDeleteConfirmation()) {
        if (m_confirmation)
            m_confirmation->close();
        return;
    }
    if (m_confirmation)
        return;
    const auto& url = m_state.currentURL();
    QMessageBox* box = windowModalBox(m_window, tr("Delete Image"),
                                      url ? confirmationMessage(url->fileName()) : QString());
    box->setIcon(QMessageBox::Warning);
    QPushButton* remove = box->addButton(tr("Delete"), QMessageBox::DestructiveRole);
    QPushButton* cancel = box->addButton(tr("Cancel"), QMessageBox::RejectRole);
    // Return confirms: the Trash keeps the file, so a slip costs nothing.
    box->setDefaultButton(remove);
    box->setEscapeButton(cancel);
    // Only the file the question named goes: another may have been opened meanwhile.
    connect(box, &QMessageBox::finished, this, [this, box, remove, asked = url] {
        const bool confirmed = box->clickedButton() == remove && m_state.currentURL() == asked;
        m_confirmation = nullptr;
        m_state.setShowDeleteConfirmation(false);
        if (confirmed)
            m_state.deleteCurrentImage();
    });
    m_confirmation = box;
    box->open();
}

void DeleteDialogs::syncError()
{
    if (!m_state.deleteError()) {
        if (m_error)
            m_error->close();
        return;
    }
    if (m_error) {
        m_error->setText(*m_state.deleteError());
        return;
    }
    QMessageBox* box = windowModalBox(m_window, tr("Error"), *m_state.deleteError());
    box->setIcon(QMessageBox::Critical);
    box->addButton(tr("OK"), QMessageBox::AcceptRole);
    connect(box, &QMessageBox::finished, this, [this] {
        m_error = nullptr;
        m_state.setDeleteError(std::nullopt);
    });
    m_error = box;
    box->open();
}
