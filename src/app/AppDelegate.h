#pragma once

#include "desktop/WindowSystem.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

class AppState;
namespace imaging {
class EarlyDecode;
}
class QWidget;
class SingleInstance;

// Owns the one model, opens the files the desktop hands over, and gives an empty start a
// small window, centred where the window system lets Pelu place it.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    // early: the photo named at start, decoded beside the window's construction, for the model.
    explicit AppDelegate(imaging::EarlyDecode* early = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    AppState& appState() { return *m_appState; }

    // Opens the first of the files; a relative path resolves against workingDirectory.
    void openFiles(const QStringList& paths, const QString& workingDirectory);

    // True when another instance took the first file (or the request to raise itself) with
    // the token this launch was given: this process should then exit with status 0. Otherwise
    // this one becomes the instance.
    bool handOverOrListen(const QStringList& paths, const QString& workingDirectory,
                          const QString& serverName, const desktop::ActivationToken& token = {});

    // Closing this window ends the program: from then on no file is handed over to it.
    void setWindow(QWidget* window);

    // Call once start-up is done: with nothing decodable shown, 400 × 300 centred.
    void finishLaunching();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void stopTakingFiles();
    static QString absolutePath(const QString& path, const QString& workingDirectory);
    void raiseWindow(const desktop::ActivationToken& token);

    AppState* m_appState;
    SingleInstance* m_instance = nullptr;
    QPointer<QWidget> m_window;
};
