// pelu-test-colord: colord as Pelu asks it, on the bus DBUS_SYSTEM_BUS_ADDRESS names, for the
// tests. Each argument is a display, in the order colord lists them:
//   OUTPUT=PROFILE.icc[,primary]
// A line "changed" on standard input makes it announce a changed display; end of input quits.
//   pelu-test-colord --write-adobe-rgb FILE
// writes the ICC profile of an Adobe RGB screen, as Qt makes it, and ends.
#include <QColorSpace>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QFile>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

using StringMap = QMap<QString, QString>;
Q_DECLARE_METATYPE(StringMap)

class Manager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ColorManager")

public:
    QList<QDBusObjectPath> displays;

public Q_SLOTS:
    QList<QDBusObjectPath> GetDevicesByKind(const QString& kind)
    {
        return kind == QLatin1String("display") ? displays : QList<QDBusObjectPath>();
    }

Q_SIGNALS:
    void DeviceChanged(const QDBusObjectPath& device);
};

class Device : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ColorManager.Device")
    Q_PROPERTY(StringMap Metadata MEMBER metadata)
    Q_PROPERTY(QList<QDBusObjectPath> Profiles MEMBER profiles)

public:
    using QObject::QObject;
    StringMap metadata;
    QList<QDBusObjectPath> profiles;
};

class Profile : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ColorManager.Profile")
    Q_PROPERTY(QString Filename MEMBER filename)

public:
    using QObject::QObject;
    QString filename;
};

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--write-adobe-rgb")) {
        QFile out(app.arguments().value(2));
        const QByteArray profile = QColorSpace(QColorSpace::AdobeRgb).iccProfile();
        return out.open(QIODevice::WriteOnly) && out.write(profile) == profile.size() ? 0 : 1;
    }
    qDBusRegisterMetaType<StringMap>();
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return 1;
    const auto exported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                          QDBusConnection::ExportAllProperties;
    Manager manager;
    const QStringList displays = app.arguments().mid(1);
    for (qsizetype i = 0; i < displays.size(); ++i) {
        const QString output = displays[i].section(QLatin1Char('='), 0, 0);
        const QStringList rest = displays[i].section(QLatin1Char('='), 1).split(QLatin1Char(','));
        auto* profile = new Profile(&app);
        profile->filename = rest.value(0);
        auto* device = new Device(&app);
        device->metadata.insert(QStringLiteral("XRANDR_name"), output);
        if (rest.contains(QStringLiteral("primary")))
            device->metadata.insert(QStringLiteral("OutputPriority"), QStringLiteral("primary"));
        const QString profilePath = QStringLiteral("/profiles/p%1").arg(i);
        const QString devicePath = QStringLiteral("/devices/d%1").arg(i);
        device->profiles = {QDBusObjectPath(profilePath)};
        bus.registerObject(profilePath, profile, exported);
        bus.registerObject(devicePath, device, exported);
        manager.displays.append(QDBusObjectPath(devicePath));
    }
    bus.registerObject(QStringLiteral("/org/freedesktop/ColorManager"), &manager, exported);
    if (!bus.registerService(QStringLiteral("org.freedesktop.ColorManager")))
        return 1;
    std::printf("ready\n");
    std::fflush(stdout);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char line[64] = {};
        const ssize_t got = ::read(STDIN_FILENO, line, sizeof line - 1);
        if (got <= 0) {
            app.quit();
            return;
        }
        if (QByteArray(line).startsWith("changed") && !manager.displays.isEmpty())
            Q_EMIT manager.DeviceChanged(manager.displays.first());
    });
    return app.exec();
}

#include "FakeColord.moc"
