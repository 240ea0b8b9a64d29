#include "app/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Plain Unix sockets rather than Qt's local sockets: those bring Qt Network, and with it
// Kerberos and proxy libraries, into every start.
namespace {

// A message is what QDataStream writes of a path to open (or an empty string, to raise the
// window), then of the launch's xdg-activation token and startup id. The sender closes the
// connection after it. Earlier builds sent the path alone, and read the path only.
constexpr qsizetype kMaxMessageBytes = 64 * 1024;
constexpr int kStaleProbeMs = 200;

std::optional<sockaddr_un> addressOf(const QString& name)
{
    const QByteArray path = QFile::encodeName(name);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return std::nullopt;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    return address;
}

const sockaddr* asSockaddr(const sockaddr_un& address)
{
    return reinterpret_cast<const sockaddr*>(&address);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// A blocking connection whose connect and writes give up after the timeout; -1 when nobody
// listens or answers in time.
int connectTo(const sockaddr_un& address, int timeoutMs)
{
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0)
        return -1;
    const timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    int result = 0;
    do {
        result = ::connect(socket.get(), asSockaddr(address), sizeof address);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? socket.release() : -1;
}

bool writeAll(int fd, const QByteArray& data)
{
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + done, size_t(data.size() - done), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// A listening socket at the address, replacing a file left behind by a crashed instance;
// -1 when a live instance answers there, or the socket cannot be made.
int listenAt(const sockaddr_un& address)
{
    Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (socket.get() < 0)
        return -1;
    if (::bind(socket.get(), asSockaddr(address), sizeof address) != 0) {
        if (errno != EADDRINUSE)
            return -1;
        // Someone answers: that one is the running instance, not a leftover.
        if (const int probe = connectTo(address, kStaleProbeMs); probe >= 0) {
            ::close(probe);
            return -1;
        }
        ::unlink(address.sun_path);
        if (::bind(socket.get(), asSockaddr(address), sizeof address) != 0)
            return -1;
    }
    // Before listening, so that no one else ever gets to connect.
    if (::chmod(address.sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket.get(), 16) != 0) {
        ::unlink(address.sun_path);
        return -1;
    }
    return socket.release();
}

enum class Reading { open, closed, tooLong };

// Appends what the sender has written so far.
Reading readAvailable(int fd, QByteArray& received)
{
    char chunk[4096];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n > 0) {
            received.append(chunk, n);
            if (received.size() > kMaxMessageBytes)
                return Reading::tooLong;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            const bool more = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
            return more ? Reading::open : Reading::closed;
        }
    }
}

struct Message {
    QString path;
    desktop::ActivationToken token;
};

// The message sent; null when not even its path is whole.
std::optional<Message> decodeMessage(const QByteArray& received)
{
    QDataStream in(received);
    Message message;
    in >> message.path;
    if (in.status() != QDataStream::Ok)
        return std::nullopt;
    // A message of an older Pelu, or a cut one, still opens its file.
    QString wayland, x11;
    in >> wayland >> x11;
    if (in.status() == QDataStream::Ok)
        message.token = {desktop::sanitizedToken(wayland), desktop::sanitizedToken(x11)};
    return message;
}

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

SingleInstance::~SingleInstance()
{
    stopListening();
}

bool SingleInstance::handOver(const QString& absolutePath, const desktop::ActivationToken& token,
                              int timeoutMs)
{
    const std::optional<sockaddr_un> address = addressOf(m_serverName);
    if (!address)
        return false;
    const Descriptor socket(connectTo(*address, timeoutMs));
    if (socket.get() < 0)
        return false;
    QByteArray message;
    {
        QDataStream out(&message, QIODevice::WriteOnly);
        out << absolutePath << token.wayland << token.x11;
    }
    // The data stays readable by the server after we close.
    return writeAll(socket.get(), message);
}

bool SingleInstance::listen()
{
    stopListening();
    const std::optional<sockaddr_un> address = addressOf(m_serverName);
    if (!address)
        return false;
    const int fd = listenAt(*address);
    if (fd < 0)
        return false;
    m_listener = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_listener, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::stopListening()
{
    if (!m_listener)
        return;
    // The socket file goes too, so nobody connects to an instance on its way out.
    const int fd = int(m_listener->socket());
    delete std::exchange(m_listener, nullptr);
    ::close(fd);
    QFile::remove(m_serverName);
}

void SingleInstance::acceptConnections()
{
    while (true) {
        const int fd =
            ::accept4(int(m_listener->socket()), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return; // none left
        }
        // The connection lasts as long as its notifier.
        auto* reader = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(reader, &QObject::destroyed, [fd] { ::close(fd); });
        connect(reader, &QSocketNotifier::activated, this,
                [this, reader, fd, received = QByteArray()]() mutable {
                    const Reading reading = readAvailable(fd, received);
                    if (reading == Reading::open)
                        return; // the sender closes when the message is whole
                    reader->setEnabled(false);
                    reader->deleteLater();
                    const std::optional<Message> message = decodeMessage(received);
                    if (!message || reading == Reading::tooLong)
                        return;
                    if (message->path.isEmpty())
                        Q_EMIT raiseRequested(message->token);
                    else
                        Q_EMIT fileReceived(message->path, message->token);
                });
    }
}
