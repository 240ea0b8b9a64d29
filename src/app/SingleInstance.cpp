#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <unistd.h>

namespace {
// A message is one QString: a path to open, or empty to raise the window.
constexpr qint64 kMaxMessageBytes = 64 * 1024;
} // namespace

QString SingleInstance::defaultServerName()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/pelu-%1.socket").arg(getuid());
}

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_serverName(serverName)
{
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::handOver(const QString& absolutePath, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << absolutePath;
    }
    socket.write(message);
    // The data stays readable by the server after we close.
    const bool written = socket.waitForBytesWritten(timeoutMs) || socket.bytesToWrite() == 0;
    socket.disconnectFromServer();
    return written;
}

bool SingleInstance::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    }
    if (m_server->listen(m_serverName))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Someone answers: that one is the running instance, not a leftover.
    QLocalSocket probe;
    probe.connectToServer(m_serverName);
    if (probe.waitForConnected(200))
        return false;
    QLocalServer::removeServer(m_serverName);
    return m_server->listen(m_serverName);
}

void SingleInstance::stopListening()
{
    // Closing removes the socket file too, so nobody connects to an instance on its way out.
    if (m_server)
        m_server->close();
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessageBytes) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.startTransaction();
            QString path;
            in >> path;
            if (!in.commitTransaction())
                return; // wait for the rest
            socket->disconnectFromServer();
            if (path.isEmpty())
                Q_EMIT raiseRequested();
            else
                Q_EMIT fileReceived(path);
        });
    }
}
