#include "desktop/ColordProfile.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QFile>
#include <QMap>

namespace desktop::colord {

namespace {

const QString kService = QStringLiteral("org.freedesktop.ColorManager");
const QString kManagerPath = QStringLiteral("/org/freedesktop/ColorManager");
const QString kDeviceInterface = QStringLiteral("org.freedesktop.ColorManager.Device");
const QString kProfileInterface = QStringLiteral("org.freedesktop.ColorManager.Profile");
constexpr int kTimeoutMs = 1000;
constexpr qint64 kMaxProfileBytes = 16 * 1024 * 1024;

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    // Asked only while it runs: a call must not bring colord up.
    message.setAutoStartService(false);
    return QDBusConnection::systemBus().call(message, QDBus::Block, kTimeoutMs);
}

// One property, its variant unwrapped; invalid when the call failed.
QVariant property(const QString& path, const QString& interface, const QString& name)
{
    const QDBusMessage reply = call(path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                    QStringLiteral("Get"), {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return reply.arguments().first().value<QDBusVariant>().variant();
}

template <typename T> T demarshalled(const QVariant& value)
{
    if (value.canConvert<QDBusArgument>())
        return qdbus_cast<T>(value.value<QDBusArgument>());
    return value.value<T>();
}

struct Display {
    QString output;
    bool primary = false;
    QList<QDBusObjectPath> profiles;
};

QList<Display> displays()
{
    const QDBusMessage reply = call(kManagerPath, kService, QStringLiteral("GetDevicesByKind"),
                                    {QStringLiteral("display")});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QList<Display> found;
    const auto devices = demarshalled<QList<QDBusObjectPath>>(reply.arguments().first());
    for (const QDBusObjectPath& device : devices) {
        const auto metadata = demarshalled<QMap<QString, QString>>(
            property(device.path(), kDeviceInterface, QStringLiteral("Metadata")));
        found.append({metadata.value(QStringLiteral("XRANDR_name")),
                      metadata.value(QStringLiteral("OutputPriority")) == QLatin1String("primary"),
                      demarshalled<QList<QDBusObjectPath>>(
                          property(device.path(), kDeviceInterface, QStringLiteral("Profiles")))});
    }
    return found;
}

QByteArray readProfile(const QDBusObjectPath& profile)
{
    const QString file =
        property(profile.path(), kProfileInterface, QStringLiteral("Filename")).toString();
    QFile in(file);
    if (file.isEmpty() || !in.open(QIODevice::ReadOnly) || in.size() > kMaxProfileBytes)
        return {};
    return in.readAll();
}

} // namespace

QByteArray displayProfile(const QString& output)
{
    const QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value())
        return {};
    const QList<Display> known = displays();
    const Display* chosen = nullptr;
    for (const Display& display : known) {
        if (!output.isEmpty() && display.output == output)
            chosen = &display;
    }
    for (const Display& display : known) {
        if (!chosen && display.primary)
            chosen = &display;
    }
    if (!chosen && !known.isEmpty())
        chosen = &known.first();
    // The first of a device's profiles is its default.
    return chosen && !chosen->profiles.isEmpty() ? readProfile(chosen->profiles.first())
                                                 : QByteArray();
}

Watch::Watch(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    for (const char* signal : {"DeviceAdded", "DeviceRemoved", "DeviceChanged", "ProfileChanged"})
        bus.connect(kService, kManagerPath, kService, QString::fromLatin1(signal), this,
                    SLOT(notice(QDBusMessage)));
}

void Watch::notice(const QDBusMessage&)
{
    Q_EMIT changed();
}

} // namespace desktop::colord
