#include "../support/TestSupport.h"
#include "DiskFaults.h"

#include "desktop/Trash.h"
#include "state/AppState.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>

#include <sys/stat.h>

using testsupport::readFile;

namespace {

// The line of a Trash info file that names where the file was.
QByteArray recordedPath(const QString& infoFile)
{
    for (const QByteArray& line : readFile(infoFile).split('\n')) {
        if (line.startsWith("Path="))
            return line.mid(5);
    }
    return {};
}

// Root ignores permission bits: the whole tree goes to the user ObeyPermissions acts as.
void handOver(const QString& root)
{
    if (::geteuid() != 0)
        return;
    (void)::chown(QFile::encodeName(root).constData(), ObeyPermissions::kUser,
                  ObeyPermissions::kUser);
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        (void)::lchown(QFile::encodeName(it.next()).constData(), ObeyPermissions::kUser,
                       ObeyPermissions::kUser);
}

} // namespace

// In a home of its own (GIO reads HOME and XDG_DATA_HOME once: main sets them first), on the
// file system of the photos, so that they go to the home's Trash.
class TestTrash : public QObject {
    Q_OBJECT

public:
    explicit TestTrash(const QString& root) : m_root(root) {}

private:
    QString m_root;
    QString dataHome() const { return m_root + "/home/data"; }
    QString trash() const { return dataHome() + "/Trash"; }

    // A photo of its own folder under the test's root.
    QString photo(const QString& name, const QString& folder = QStringLiteral("photos"))
    {
        QDir().mkpath(m_root + '/' + folder);
        const QString path = m_root + '/' + folder + '/' + name;
        QImage image(6, 4, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        return image.save(path, "PNG") ? path : QString();
    }

private Q_SLOTS:
    void cleanup()
    {
        ::chmod(QFile::encodeName(dataHome()).constData(), 0700);
        for (const char* sub : {"/files", "/info"})
            ::chmod(QFile::encodeName(trash() + sub).constData(), 0700);
        QFile::remove(trash());
        QDir(trash()).removeRecursively();
        QDir(m_root + "/photos").removeRecursively();
    }

    // The info file records the path escaped as in URLs, so that file managers that decode it
    // find the way back; a name trashed twice keeps both.
    void namesAreRecordedEscaped_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("escaped"); // how the name ends the recorded path
        QTest::newRow("percent") << "100% crop.png" << QByteArray("/100%25%20crop.png");
        QTest::newRow("hash") << "#1.png" << QByteArray("/%231.png");
        QTest::newRow("non-ASCII") << "ñandú 写真.png"
                                   << QByteArray("/%C3%B1and%C3%BA%20%E5%86%99%E7%9C%9F.png");
    }
    void namesAreRecordedEscaped()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, escaped);
        const QString path = photo(name);
        QCOMPARE(desktop::moveToTrash(path), std::nullopt);
        QVERIFY(!QFile::exists(path));
        QVERIFY(QFile::exists(trash() + "/files/" + name));
        const QByteArray recorded = recordedPath(trash() + "/info/" + name + ".trashinfo");
        QVERIFY2(recorded.endsWith(escaped), recorded.constData());
        // Read back as a file manager does.
        QCOMPARE(QUrl::fromEncoded("file://" + recorded).toLocalFile(), path);

        const QString again = photo(name, QStringLiteral("photos/again"));
        QCOMPARE(desktop::moveToTrash(again), std::nullopt);
        QCOMPARE(testsupport::entries(trash() + "/files").size(), 2);
        QCOMPARE(testsupport::entries(trash() + "/info").size(), 2);
    }

    // Every failure is GIO's words in the error, quickly, with the photo where it was, in the
    // list and on screen, and nothing left behind in the Trash.
    void failuresLeaveTheFileWhereItWas_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("words"); // part of GIO's message
        QTest::newRow("read-only info") << "info" << "Permission denied";
        QTest::newRow("read-only files") << "files" << "Permission denied";
        QTest::newRow("plain file at Trash") << "Trash file" << "Unable to create trash";
        QTest::newRow("read-only data folder") << "data" << "Permission denied";
        QTest::newRow("file already gone") << "gone" << "No such file";
    }
    void failuresLeaveTheFileWhereItWas()
    {
        QFETCH(QString, fault);
        QFETCH(QString, words);
        const QString path = photo("a.png");
        photo("b.png");
        QDir().mkpath(trash() + "/files");
        QDir().mkpath(trash() + "/info");
        if (fault == "Trash file") {
            QDir(trash()).removeRecursively();
            QVERIFY(testsupport::writeFile(trash(), "not a folder"));
        } else if (fault == "data") {
            QDir(trash()).removeRecursively();
        }
        handOver(m_root);
        AppState state;
        const QUrl url = QUrl::fromLocalFile(path);
        state.openFile(url);
        if (fault == "gone")
            QFile::remove(path);
        const QString unwritable = fault == "data" ? dataHome() : trash() + '/' + fault;
        QVERIFY(::chmod(QFile::encodeName(unwritable).constData(), 0500) == 0 ||
                fault == "Trash file" || fault == "gone");
        ObeyPermissions obey({});
        QElapsedTimer clock;
        clock.start();
        state.deleteCurrentImage();
        QCOMPARE_LT(clock.elapsed(), 50);
        QTRY_VERIFY_WITH_TIMEOUT(state.deleteError(), 1000);
        QVERIFY2(state.deleteError()->contains(words), qPrintable(*state.deleteError()));
        QCOMPARE(QFile::exists(path), fault != "gone");
        QCOMPARE(state.currentURL(), url);
        QVERIFY(state.currentImage());
        QCOMPARE(state.imageFiles().size(), 2);
        QCOMPARE(testsupport::entries(trash() + "/files"), QStringList());
        QCOMPARE(testsupport::entries(trash() + "/info"), QStringList());
    }

    // A photo on a file system of its own goes to that volume's .Trash-$UID; where GIO refuses
    // the volume (a tmpfs), the refusal is reported and the photo stays. Run by
    // trash_volumes.sh, which mounts them.
    void otherVolumes_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<bool>("trashed");
        QTest::newRow("ext2 volume") << QByteArray("PELU_TRASH_VOLUME") << true;
        QTest::newRow("tmpfs") << QByteArray("PELU_TRASH_TMPFS") << false;
    }
    void otherVolumes()
    {
        QFETCH(QByteArray, variable);
        QFETCH(bool, trashed);
        const QString volume = qEnvironmentVariable(variable.constData());
        if (volume.isEmpty())
            QSKIP("no volume of its own mounted (trash_volumes.sh mounts them)");
        const QString path = volume + "/on volume #2.png";
        QVERIFY(testsupport::writeFile(path, "picture"));
        const auto error = desktop::moveToTrash(path);
        QVERIFY2(!error == trashed, qPrintable(error.value_or("trashed")));
        QCOMPARE(QFile::exists(path), !trashed);
        if (!trashed)
            return;
        const QString volumeTrash = volume + "/.Trash-" + QString::number(::getuid());
        QVERIFY(QFile::exists(volumeTrash + "/files/on volume #2.png"));
        // Relative to the volume's top, escaped.
        QCOMPARE(recordedPath(volumeTrash + "/info/on volume #2.png.trashinfo"),
                 QByteArray("on%20volume%20%232.png"));
        QCOMPARE(testsupport::entries(trash() + "/files"), QStringList());
    }
};

int main(int argc, char** argv)
{
    QTemporaryDir root;
    QDir().mkpath(root.filePath("home"));
    qputenv("HOME", QFile::encodeName(root.filePath("home")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("home/data")));
    testsupport::OwnSettings settings;
    QGuiApplication app(argc, argv);
    TestTrash test(root.path());
    return QTest::qExec(&test, argc, argv);
}

#include "tst_trash.moc"
