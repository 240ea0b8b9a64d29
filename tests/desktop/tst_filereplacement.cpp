#include "../support/TestSupport.h"
#include "desktop/FileReplacement.h"

#include <QRegularExpression>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

using testsupport::entries;
using testsupport::readFile;
using testsupport::writeFile;

namespace {

struct stat statOf(const QString& path)
{
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

const QByteArray kOld(4096, 'o');

} // namespace

class TestFileReplacement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Whatever goes wrong, the folder is as it was: the file whole, nothing left beside it.
    void failureLeavesTheFolderAsItWas_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("written"); // what the writer gets out before failing; -1 nothing
        QTest::newRow("writer fails at once") << "a.jpg" << -1;
        QTest::newRow("writer fails midway") << "a.jpg" << 2048;
        QTest::newRow("writer fails at the end") << "a.jpg" << 4096;
        QTest::newRow("missing") << "missing.jpg" << 0;
        QTest::newRow("dangling link") << "dangling.jpg" << 0;
        QTest::newRow("folder") << "folder.jpg" << 0;
        // Read-only for everyone, root too, when its owner may not write it.
        QTest::newRow("read-only file") << "locked.jpg" << 0;
        QTest::newRow("read-only for its owner, writable by the group") << "group.jpg" << 0;
    }
    void failureLeavesTheFolderAsItWas()
    {
        QFETCH(QString, name);
        QFETCH(int, written);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("a.jpg"), kOld) &&
                writeFile(dir.filePath("locked.jpg"), kOld) &&
                writeFile(dir.filePath("group.jpg"), kOld));
        QVERIFY(QFile::setPermissions(dir.filePath("locked.jpg"), QFile::ReadOwner));
        QVERIFY(QFile::setPermissions(dir.filePath("group.jpg"), QFile::ReadOwner |
                                                                     QFile::ReadGroup |
                                                                     QFile::WriteGroup));
        QVERIFY(QFile::link(dir.filePath("gone.jpg"), dir.filePath("dangling.jpg")));
        QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
        const QStringList before = entries(dir.path());
        const ino_t inode = statOf(dir.filePath(name)).st_ino;
        QVERIFY(!desktop::replaceFile(dir.filePath(name), [&](const QString&, const QString& temp) {
            if (written >= 0)
                writeFile(temp, QByteArray(written, 'n'));
            return false;
        }));
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(statOf(dir.filePath(name)).st_ino, inode);
        QCOMPARE(readFile(dir.filePath("a.jpg")), kOld);
    }

    // The new version takes the old one's place, owner and permission bits, written under a
    // hidden name in the target's folder; links are followed and stay links.
    void replacesInPlace_data()
    {
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("mode");
        const auto row = [](const char* name, const char* opened, const char* target, int mode) {
            QTest::newRow(name) << QString(opened) << QString(target) << mode;
        };
        row("private", "a.jpg", "a.jpg", 0600);
        row("setgid, extension as spelled", "a.JPEG", "a.JPEG", 02640);
        row("no extension", "picture", "picture", 0644);
        row("link", "link.jpg", "real/b.tif", 0640);
        row("link to link", "chain.jpg", "real/b.tif", 0664);
    }
    void replacesInPlace()
    {
        QFETCH(QString, opened);
        QFETCH(QString, target);
        QFETCH(int, mode);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("real") && writeFile(dir.filePath(target), kOld));
        const QString real = dir.filePath(target);
        const QByteArray realName = QFile::encodeName(real);
        // Only root can make a file someone else's; everyone else keeps their own.
        const uid_t owner = ::geteuid() == 0 ? 4321 : ::geteuid();
        const gid_t group = ::geteuid() == 0 ? 8765 : ::getegid();
        QVERIFY(::chown(realName.constData(), owner, group) == 0 &&
                ::chmod(realName.constData(), mode_t(mode)) == 0);
        QVERIFY(QFile::link("real/b.tif", dir.filePath("link.jpg")));
        QVERIFY(QFile::link(dir.filePath("link.jpg"), dir.filePath("chain.jpg")));
        QString source, temp;
        QVERIFY(desktop::replaceFile(dir.filePath(opened), [&](const QString& s, const QString& t) {
            source = s;
            temp = t;
            return !QFileInfo::exists(t) && writeFile(t, "new");
        }));
        QCOMPARE(source, QFileInfo(real).canonicalFilePath());
        static const QRegularExpression hidden("^\\.[0-9a-f]{8}(-[0-9a-f]{4}){3}-[0-9a-f]{12}\\.");
        QVERIFY2(hidden.match(QFileInfo(temp).fileName()).hasMatch(), qPrintable(temp));
        QCOMPARE(temp.section('.', -1), QFileInfo(target).suffix());
        QCOMPARE(QFileInfo(temp).absolutePath(), QFileInfo(source).absolutePath());
        QVERIFY(!QFileInfo::exists(temp));
        QCOMPARE(readFile(dir.filePath(opened)), QByteArray("new"));
        const struct stat now = statOf(real);
        QCOMPARE(now.st_mode & 07777, mode_t(mode));
        QCOMPARE(now.st_uid, owner);
        QCOMPARE(now.st_gid, group);
        QVERIFY(QFileInfo(dir.filePath("link.jpg")).isSymLink());
        QVERIFY(QFileInfo(dir.filePath("chain.jpg")).isSymLink());
    }
};

QTEST_GUILESS_MAIN(TestFileReplacement)
#include "tst_filereplacement.moc"
