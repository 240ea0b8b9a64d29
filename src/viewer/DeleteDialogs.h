#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>

class AppState;

class QWidget;

// The two alerts of moving a file to the Trash, bound to the model: the confirmation shows
// while showDeleteConfirmation is true, the error while deleteError is set. Closing either in
// any way clears its field. Both are window-modal over the given window.
class DeleteDialogs : public QObject {
    Q_OBJECT

public:
    DeleteDialogs(AppState& state, QWidget* window);

    // The confirmation's text for a file name.
    static QString confirmationMessage(const QString& fileName);

private:
    void syncConfirmation();
    void syncError();

    AppState& m_state;
    QWidget* m_window;
    // Open now, or none.
    QPointer<QMessageBox> m_confirmation;
    QPointer<QMessageBox> m_error;
};
