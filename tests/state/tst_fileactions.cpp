#include "../support/TestSupport.h"
#include "Folders.h"
#include "state/AppState.h"

#include <QClipboard>
#include <QColorSpace>
#include <QDBusConnection>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>

using testsupport::writeFile;

namespace {

// Stands in for the desktop: a file manager on the bus, and the opener of file URLs.
class FakeDesktop : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;
    QList<QUrl> opened;

public Q_SLOTS:
    Q_SCRIPTABLE void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
    void open(const QUrl& url) { opened.append(url); }
};

} // namespace

// Runs in a home of its own: its Trash, its applications, its session bus.
class TestFileActions : public QObject {
    Q_OBJECT

public:
    explicit TestFileActions(const QString& home) : m_home(home) {}

private:
    QString m_home;
    QTemporaryDir m_files;

private Q_SLOTS:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_home + "/.config");
    }

    void trashShowsTheNeighbour_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("shown"); // the image shown after, as before; 0 none
        QTest::newRow("third of five") << 5 << 2 << 4;
        QTest::newRow("last of five") << 5 << 4 << 4;
        QTest::newRow("only one") << 1 << 0 << 0;
    }
    // Also: the file goes to the Trash of the user's data folder, made when missing, never into
    // ./files of the working directory; and the window's thread never waits for it.
    void trashShowsTheNeighbour()
    {
        QFETCH(int, count);
        QFETCH(int, index);
        QFETCH(int, shown);
        QTemporaryDir folder, work;
        const QDir dataHome(m_home + "/.local/share");
        const QString savedCurrent = QDir::currentPath();
        const auto restore = qScopeGuard([&] { QDir::setCurrent(savedCurrent); });
        QDir::setCurrent(work.path());
        const QList<QUrl> urls = makeFolder(folder, count);
        AppState state;
        state.openFile(urls[index]);
        state.deleteCurrentImage();
        QCOMPARE(state.currentURL(), urls[index]); // until the Trash has answered
        QTRY_COMPARE(state.imageFiles().size(), count - 1);

        QVERIFY(QFile::exists(dataHome.filePath("Trash/files/" + urls[index].fileName())));
        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
        if (shown == 0) {
            QCOMPARE(state.currentURL(), std::nullopt);
            QVERIFY(!state.currentImage());
            QVERIFY(state.metadata().isEmpty());
            return;
        }
        QCOMPARE(state.currentURL(), urls[shown - 1]);
        QCOMPARE(state.currentImage()->width(), 8 + shown);
        QCOMPARE(state.windowTitle(),
                 QStringLiteral("img%1.png [%2/4]").arg(shown).arg(3 + (index == 4)));
    }

    // The file goes on the clipboard at once, for file managers; the picture follows as a PNG
    // encoded in the background, tagged sRGB, the file still there. Nothing to copy leaves the
    // clipboard as it was. (The window test sees the same through another program.)
    void copyOffersTheFileThenThePicture()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString picture = m_files.filePath("100% #1 ñ.png");
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(Qt::darkMagenta);
        image.setPixel(3, 2, qRgb(1, 2, 3));
        QVERIFY(image.save(picture, "PNG"));
        const QUrl url = QUrl::fromLocalFile(picture);
        AppState state;
        clipboard->setText(QStringLiteral("before"));
        state.copyImageToPasteboard();
        QCOMPARE(clipboard->text(), QStringLiteral("before"));

        state.openFile(url);
        state.copyImageToPasteboard();
        const QMimeData* data = clipboard->mimeData();
        QCOMPARE(data->data("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
        QTRY_VERIFY(clipboard->mimeData()->hasFormat("image/png"));
        data = clipboard->mimeData();
        QCOMPARE(data->urls(), QList<QUrl>{url});
        image.setColorSpace(QColorSpace(QColorSpace::SRgb));
        QCOMPARE(QImage::fromData(data->data("image/png")).convertToFormat(QImage::Format_RGB32),
                 image);
    }

    // A picture still being encoded when something else is copied never comes back over it.
    void laterCopyWins()
    {
        QClipboard* clipboard = QGuiApplication::clipboard();
        const QString picture = m_files.filePath("big.png");
        QVERIFY(QImage(3000, 2000, QImage::Format_RGB32).save(picture, "PNG"));
        AppState state;
        state.openFile(QUrl::fromLocalFile(picture));
        state.copyImageToPasteboard();
        clipboard->setText(QStringLiteral("after"));
        QTest::qWait(1500);
        QCOMPARE(clipboard->text(), QStringLiteral("after"));
        QVERIFY(!clipboard->mimeData()->hasFormat("image/png"));
    }

    // Registered applications by name whatever their case, never this viewer itself, and only
    // those for the file's type.
    void openWithListsOtherApplications()
    {
        const QString applications = m_home + "/.local/share/applications";
        const struct {
            const char *id, *name, *types;
        } installed[] = {
            {"zebra", "Zebra", "image/png;"}, {"alpha", "alpha", "image/png;image/jpeg;"},
            {"pelu", "Pelú", "image/png;"},   {"org.pelu.Pelu", "Pelú", "image/png;"},
            {"beta", "Beta", "image/png;"},   {"jpeg-only", "Jpeg Only", "image/jpeg;"}};
        QVERIFY(QDir().mkpath(applications));
        for (const auto& app : installed)
            QVERIFY(writeFile(QString("%1/%2.desktop").arg(applications, app.id),
                              QString("[Desktop Entry]\nType=Application\nName=%1\nExec=true "
                                      "%u\nMimeType=%2\n")
                                  .arg(app.name, app.types)
                                  .toUtf8()));
        QCOMPARE(QProcess::execute("update-desktop-database", {applications}), 0);
        const QList<QUrl> urls = makeFolder(m_files, 1);
        AppState state;
        QVERIFY(state.openWithApplications().isEmpty());
        state.openFile(urls[0]);
        QStringList names, files;
        for (const desktop::OpenWithApp& app : state.openWithApplications()) {
            names << app.name;
            files << app.url.fileName();
        }
        QCOMPARE(names, (QStringList{"alpha", "Beta", "Zebra"}));
        QCOMPARE(files, (QStringList{"alpha.desktop", "beta.desktop", "zebra.desktop"}));
    }

    void revealAsksTheFileManagerOrOpensTheFolder_data()
    {
        QTest::addColumn<bool>("fileManager");
        QTest::newRow("file manager answers") << true;
        QTest::newRow("no file manager") << false;
    }
    void revealAsksTheFileManagerOrOpensTheFolder()
    {
        QFETCH(bool, fileManager);
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no private session bus (dbus-daemon)");
        FakeDesktop fake;
        QDBusConnection service =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, "file-manager");
        if (fileManager) {
            QVERIFY(service.registerObject("/org/freedesktop/FileManager1", &fake,
                                           QDBusConnection::ExportScriptableSlots));
            QVERIFY(service.registerService("org.freedesktop.FileManager1"));
        }
        QDesktopServices::setUrlHandler("file", &fake, "open");
        const auto restore = qScopeGuard([&] {
            QDesktopServices::unsetUrlHandler("file");
            service.unregisterService("org.freedesktop.FileManager1");
            service.unregisterObject("/org/freedesktop/FileManager1");
            QDBusConnection::disconnectFromBus("file-manager");
        });
        const QString picture = m_files.filePath("a b#c.png");
        QVERIFY(QImage(4, 4, QImage::Format_RGB32).save(picture, "PNG"));
        AppState state;
        state.openFile(QUrl::fromLocalFile(picture));
        state.revealInFinder();
        if (fileManager) {
            QTRY_COMPARE(fake.shown, QStringList{QUrl::fromLocalFile(picture).toEncoded()});
            QTest::qWait(200); // the answer has come back: no folder opens as well
            QCOMPARE(fake.opened, QList<QUrl>());
        } else {
            QTRY_COMPARE(fake.opened, QList<QUrl>{QUrl::fromLocalFile(m_files.path())});
        }
    }
};

int main(int argc, char** argv)
{
    // Before GIO or Qt first read them: GIO keeps the folders it sees first.
    QTemporaryDir home;
    const QByteArray root = QFile::encodeName(home.path());
    QDir().mkpath(home.path() + "/system");
    QFile::link("/usr/share/mime", home.path() + "/system/mime");
    qputenv("HOME", root);
    qputenv("XDG_DATA_HOME", root + "/.local/share");
    qputenv("XDG_DATA_DIRS", root + "/system");
    qputenv("XDG_CONFIG_HOME", root + "/.config");
    qputenv("XDG_CONFIG_DIRS", root + "/system");
    // A session bus of its own, where no real file manager can be started.
    const QString config = home.filePath("bus.conf");
    writeFile(
        config,
        "<busconfig><type>session</type><listen>unix:tmpdir=/tmp</listen><auth>EXTERNAL</auth>"
        "<policy context='default'><allow send_destination='*'/>"
        "<allow receive_sender='*'/><allow own='*'/>"
        "</policy></busconfig>");
    QProcess bus;
    bus.start("dbus-daemon", {"--nofork", "--print-address=1", "--config-file=" + config});
    if (bus.waitForStarted() && bus.waitForReadyRead(5000))
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus.readLine().trimmed());
    else
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    int status = 0;
    {
        QGuiApplication app(argc, argv);
        TestFileActions test(home.path());
        status = QTest::qExec(&test, argc, argv);
    }
    bus.kill();
    bus.waitForFinished();
    return status;
}

#include "tst_fileactions.moc"
