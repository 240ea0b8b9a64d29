#pragma once

#include "base/TestAccess.h"
#include "imaging/DecodeFailure.h"

#include <QWidget>

// What the window shows in place of an image: an invitation to open one, or, when the open
// file cannot be shown, its name and the reason.
class EmptyStateView : public QWidget {
    Q_OBJECT

public:
    explicit EmptyStateView(QWidget* parent = nullptr);

    void showInvitation();
    void showRefusal(const QString& fileName, imaging::DecodeFailure reason);

    static QString reasonText(imaging::DecodeFailure reason);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend struct TestAccess;

    void setTexts(const QString& title, const QString& hint, bool isRefusal);

    bool m_isRefusal = false;
    QString m_title;
    QString m_hint;
};
