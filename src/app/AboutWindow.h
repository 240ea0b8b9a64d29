#pragma once

#include <QUrl>
#include <QWidget>

// The small, fixed window with the program's icon, name, version, description and two links.
// It reads nothing of the viewer.
class AboutWindow : public QWidget {
    Q_OBJECT

public:
    // How an existing About window is found again.
    static constexpr const char* kObjectName = "about-pelu";

    explicit AboutWindow(const QString& appVersion, QWidget* parent = nullptr);

    static QUrl productUrl();
    static QUrl makerUrl();
    // The keyed description, or its English text when no translation gives one.
    static QString description();
};
