#include "app/AppDelegate.h"

#include "app/SingleInstance.h"
#include "desktop/WindowSystem.h"
#include "state/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>

AppDelegate::AppDelegate(imaging::EarlyDecode* early, QObject* parent)
    : QObject(parent), m_appState(new AppState(early, this))
{
}

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
                                   const QString& serverName, const desktop::ActivationToken& token)
{
    auto* instance = new SingleInstance(serverName, this);
    const QString first =
        paths.isEmpty() ? QString() : absolutePath(paths.first(), workingDirectory);
    if (instance->handOver(first, token)) {
        delete instance;
        return true;
    }
    // Without the socket Pelu still works, only as a second window.
    instance->listen();
    m_instance = instance;
    connect(instance, &SingleInstance::fileReceived, this,
            [this](const QString& path, const desktop::ActivationToken& launch) {
                m_appState->openFile(QUrl::fromLocalFile(path));
                raiseWindow(launch);
            });
    connect(instance, &SingleInstance::raiseRequested, this, &AppDelegate::raiseWindow);
    // A quit that closes no window (the Escape key) ends taking files too.
    if (QCoreApplication* app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &AppDelegate::stopTakingFiles);
    return false;
}

void AppDelegate::stopTakingFiles()
{
    if (m_instance)
        m_instance->stopListening();
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event)
{
    // Before the window goes: a file handed over after this would open nowhere.
    if (watched == m_window && event->type() == QEvent::Close)
        stopTakingFiles();
    return QObject::eventFilter(watched, event);
}

void AppDelegate::raiseWindow(const desktop::ActivationToken& token)
{
    if (!m_window)
        return;
    if (m_window->isMinimized())
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    // With the second launch's token: the window system gives the focus only to a window the
    // user's launcher vouches for.
    desktop::activateWindow(m_window->windowHandle(), token);
}

void AppDelegate::finishLaunching()
{
    // Decided now, not when the resize runs: a file opened in between does not stop it.
    if (m_appState->hasPicture())
        return;
    QTimer::singleShot(0, this, [this] {
        if (!m_window)
            return;
        QScreen* screen = m_window->screen();
        if (!screen)
            return;
        const QRect area = screen->availableGeometry();
        m_window->resize(400, 300);
        // On Wayland the compositor places windows, and a move would only be ignored.
        if (!desktop::windowPositionsKnown())
            return;
        m_window->move(area.center().x() - 200 -
                           (m_window->frameGeometry().width() - m_window->width()) / 2,
                       area.center().y() - 150 -
                           (m_window->frameGeometry().height() - m_window->height()) / 2);
    });
}

void AppDelegate::setWindow(QWidget* window)
{
    if (m_window)
        m_window->removeEventFilter(this);
    m_window = window;
    if (window)
        window->installEventFilter(this);
}
