#include "app/AppDelegate.h"

#include "app/SingleInstance.h"
#include "state/AppState.h"

#include <QDir>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>

AppDelegate::AppDelegate(QObject* parent) : QObject(parent), m_appState(new AppState(this)) {}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::absolutePath(const QString& path, const QString& workingDirectory)
{
    return QDir::cleanPath(QDir(workingDirectory).absoluteFilePath(path));
}

void AppDelegate::openFiles(const QStringList& paths, const QString& workingDirectory)
{
    if (paths.isEmpty())
        return;
    m_appState->openFile(QUrl::fromLocalFile(absolutePath(paths.first(), workingDirectory)));
}

bool AppDelegate::handOverOrListen(const QStringList& paths, const QString& workingDirectory,
                                   const QString& serverName)
{
    auto* instance = new SingleInstance(serverName, this);
    const QString first =
        paths.isEmpty() ? QString() : absolutePath(paths.first(), workingDirectory);
    if (instance->handOver(first)) {
        delete instance;
        return true;
    }
    // Without the socket Pelu still works, only as a second window.
    instance->listen();
    m_instance = instance;
    connect(instance, &SingleInstance::fileReceived, this, [this](const QString& path) {
        m_appState->openFile(QUrl::fromLocalFile(path));
        raiseWindow();
    });
    connect(instance, &SingleInstance::raiseRequested, this, &AppDelegate::raiseWindow);
    return false;
}

void AppDelegate::raiseWindow()
{
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void AppDelegate::finishLaunching()
{
    // Decided now, not when the resize runs: a file opened in between does not stop it.
    if (m_appState->currentImage())
        return;
    QTimer::singleShot(0, this, [this] {
        if (!m_window)
            return;
        QScreen* screen = m_window->screen();
        if (!screen)
            return;
        const QRect area = screen->availableGeometry();
        m_window->resize(400, 300);
        m_window->move(area.center().x() - 200 -
                           (m_window->frameGeometry().width() - m_window->width()) / 2,
                       area.center().y() - 150 -
                           (m_window->frameGeometry().height() - m_window->height()) / 2);
    });
}

void AppDelegate::setWindow(QWidget* window)
{
    m_window = window;
}
