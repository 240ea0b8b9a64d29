#include "desktop/FileReplacement.h"

#include <QDir>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
           file.write(bytes) == bytes.size();
}

struct stat statOf(const QString& path)
{
    struct stat info {};
    ::lstat(QFile::encodeName(path).constData(), &info);
    return info;
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

const QByteArray kOld = QByteArray(4096, 'o');
const QByteArray kNew = "the new version";

} // namespace

class TestFileReplacement : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // However the writer fails, the file is as it was and nothing is left beside it.
    void failedWriteLeavesTheFileWhole_data()
    {
        QTest::addColumn<int>("written"); // bytes the writer got out before failing; -1 none
        QTest::newRow("before creating anything") << -1;
        QTest::newRow("empty file") << 0;
        QTest::newRow("midway") << 2048;
        QTest::newRow("all of it") << 4096;
    }
    void failedWriteLeavesTheFileWhole()
    {
        QFETCH(int, written);
        QTemporaryDir dir;
        const QString file = dir.filePath("photo.jpg");
        QVERIFY(writeAll(file, kOld));
        const ino_t inode = statOf(file).st_ino;
        QString used;
        const bool replaced = desktop::replaceFile(file, [&](const QString&, const QString& temp) {
            used = temp;
            return written >= 0 && writeAll(temp, QByteArray(written, 'n')) && false;
        });
        QVERIFY(!replaced);
        QCOMPARE(readAll(file), kOld);
        QCOMPARE(statOf(file).st_ino, inode);
        QCOMPARE(entries(dir.path()), QStringList{"photo.jpg"});
        QVERIFY(!used.isEmpty());
    }

    // The writer is never asked for what is not a regular file the user may write.
    void refusesWhatCannotBeRewritten_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("missing") << "missing.jpg";
        QTest::newRow("dangling link") << "dangling.jpg";
        QTest::newRow("folder") << "folder.jpg";
        QTest::newRow("read-only file") << "locked.jpg";
    }
    void refusesWhatCannotBeRewritten()
    {
        QFETCH(QString, name);
        QTemporaryDir dir;
        QVERIFY(QFile::link(dir.filePath("gone.jpg"), dir.filePath("dangling.jpg")));
        QVERIFY(QDir(dir.path()).mkdir("folder.jpg"));
        QVERIFY(writeAll(dir.filePath("locked.jpg"), kOld));
        QVERIFY(
            QFile::setPermissions(dir.filePath("locked.jpg"), QFile::ReadOwner | QFile::ReadGroup));
        if (name == "locked.jpg" && ::geteuid() == 0)
            QSKIP("root may write any file");
        const QStringList before = entries(dir.path());
        bool asked = false;
        QVERIFY(!desktop::replaceFile(dir.filePath(name), [&](const QString&, const QString& temp) {
            asked = true;
            return writeAll(temp, kNew);
        }));
        QVERIFY(!asked);
        QCOMPARE(entries(dir.path()), before);
        QCOMPARE(readAll(dir.filePath("locked.jpg")), kOld);
    }

    // The new version takes the old one's place and its permission bits, written under a
    // hidden name in the same folder; a link is followed and stays a link.
    void replacesInPlace_data()
    {
        QTest::addColumn<QString>("opened"); // what the caller names
        QTest::addColumn<QString>("target"); // the file that holds the picture
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("suffix"); // of the hidden name
        QTest::newRow("private") << "a.jpg"
                                 << "a.jpg" << 0600 << ".jpg";
        QTest::newRow("shared") << "a.JPEG"
                                << "a.JPEG" << 0664 << ".JPEG";
        QTest::newRow("setgid") << "a.png"
                                << "a.png" << 02640 << ".png";
        QTest::newRow("no extension") << "picture"
                                      << "picture" << 0644 << ".";
        QTest::newRow("link") << "link.jpg"
                              << "real/b.tif" << 0640 << ".tif";
        QTest::newRow("link to link") << "chain.jpg"
                                      << "real/b.tif" << 0644 << ".tif";
    }
    void replacesInPlace()
    {
        QFETCH(QString, opened);
        QFETCH(QString, target);
        QFETCH(int, mode);
        QFETCH(QString, suffix);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("real"));
        QVERIFY(writeAll(dir.filePath(target), kOld));
        QVERIFY(::chmod(QFile::encodeName(dir.filePath(target)).constData(), mode_t(mode)) == 0);
        QVERIFY(QFile::link("real/b.tif", dir.filePath("link.jpg")));
        QVERIFY(QFile::link(dir.filePath("link.jpg"), dir.filePath("chain.jpg")));
        QString source, temp;
        QVERIFY(desktop::replaceFile(dir.filePath(opened), [&](const QString& s, const QString& t) {
            source = s;
            temp = t;
            return writeAll(t, kNew);
        }));
        const QString real = QFileInfo(dir.filePath(target)).canonicalFilePath();
        QCOMPARE(source, real);
        QCOMPARE(QFileInfo(temp).absolutePath(), QFileInfo(real).absolutePath());
        static const QRegularExpression hidden(
            "^\\.[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}(\\..*|\\.)$");
        QVERIFY2(hidden.match(QFileInfo(temp).fileName()).hasMatch(), qPrintable(temp));
        QVERIFY(temp.endsWith(suffix));
        QVERIFY(!QFileInfo::exists(temp));
        QCOMPARE(readAll(dir.filePath(opened)), kNew);
        QCOMPARE(statOf(real).st_mode & 07777, mode_t(mode));
        QCOMPARE(QFileInfo(dir.filePath("link.jpg")).isSymLink(), true);
        QCOMPARE(QFileInfo(dir.filePath("chain.jpg")).symLinkTarget(),
                 QFileInfo(dir.filePath("link.jpg")).absoluteFilePath());
    }

    void keepsOwnerAndGroup()
    {
        if (::geteuid() != 0)
            QSKIP("only root can make a file someone else's");
        QTemporaryDir dir;
        const QString file = dir.filePath("theirs.jpg");
        QVERIFY(writeAll(file, kOld));
        QVERIFY(::chown(QFile::encodeName(file).constData(), 4321, 8765) == 0);
        QVERIFY(desktop::replaceFile(
            file, [](const QString&, const QString& t) { return writeAll(t, kNew); }));
        QCOMPARE(statOf(file).st_uid, uid_t(4321));
        QCOMPARE(statOf(file).st_gid, gid_t(8765));
    }
};

QTEST_GUILESS_MAIN(TestFileReplacement)
#include "tst_filereplacement.moc"
