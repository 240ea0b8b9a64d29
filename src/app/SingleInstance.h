#pragma once

#include "desktop/WindowSystem.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

// One Pelu per user session: the first launch listens on a local socket, later launches
// hand their file to it and exit.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    // The socket of this user's session.
    static QString defaultServerName();

    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Gives an absolute file path (or nothing, to just raise the window) to a running
    // instance, with the activation token this launch was given. False when none answers.
    bool handOver(const QString& absolutePath, const desktop::ActivationToken& token = {},
                  int timeoutMs = 500);

    // Becomes the running instance. A socket left behind by a crashed one is replaced.
    bool listen();
    // Stops taking files: a launch from now on starts an instance of its own.
    void stopListening();

Q_SIGNALS:
    void fileReceived(const QString& absolutePath, const desktop::ActivationToken& token);
    void raiseRequested(const desktop::ActivationToken& token);

private:
    void acceptConnections();

    QString m_serverName;
    QSocketNotifier* m_listener = nullptr; // owns the listening socket
};
