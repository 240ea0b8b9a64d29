#include "state/AppState.h"
#include "state/FolderListing.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QStringList names(const QList<QUrl>& urls)
{
    QStringList out;
    for (const QUrl& u : urls)
        out.append(u.fileName());
    return out;
}

} // namespace

class TestFolderListing : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;

private Q_SLOTS:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void naturalOrderIgnoringCase()
    {
        QTemporaryDir dir;
        for (auto n : {"img10.png", "img2.png", "Img1.png"})
            touch(dir.filePath(QString::fromLatin1(n)));
        AppState state;
        const QUrl opened = QUrl::fromLocalFile(dir.filePath(QStringLiteral("img2.png")));
        state.loadDirectory(opened);
        QCOMPARE(names(state.imageFiles()),
                 (QStringList{QStringLiteral("Img1.png"), QStringLiteral("img2.png"),
                              QStringLiteral("img10.png")}));
        QCOMPARE(state.currentIndex(), 1);
        QCOMPARE(state.imageFiles().at(1), opened);
    }

    void keepsOnlySupportedVisibleEntries()
    {
        QTemporaryDir dir;
        for (auto n : {"IMG_0001.JPG", "notes.txt", "README", ".cover.jpg", "photo.HeIc", "raw.NEF",
                       "jpg", "trailing."})
            touch(dir.filePath(QString::fromLatin1(n)));
        QDir(dir.path()).mkdir(QStringLiteral("album.jpg"));
        QDir(dir.path()).mkdir(QStringLiteral("sub"));
        touch(dir.filePath(QStringLiteral("sub/inner.png")));

        AppState state;
        // Opening the hidden file still shows it, at position 0 of the visible list.
        state.loadDirectory(QUrl::fromLocalFile(dir.filePath(QStringLiteral(".cover.jpg"))));
        QCOMPARE(names(state.imageFiles()),
                 (QStringList{QStringLiteral("album.jpg"), QStringLiteral("IMG_0001.JPG"),
                              QStringLiteral("photo.HeIc"), QStringLiteral("raw.NEF")}));
        QCOMPARE(state.currentIndex(), 0);
    }

    void allNineteenExtensions()
    {
        QCOMPARE(AppState::supportedExtensions().size(), 19);
        for (auto e : {"jpg", "jpeg", "png", "gif", "bmp", "tiff", "tif", "heic", "heif", "webp",
                       "avif", "ico", "psd", "cr2", "nef", "arw", "dng", "orf", "rw2"})
            QVERIFY2(folder::hasSupportedExtension(QStringLiteral("x.") +
                                                   QString::fromLatin1(e).toUpper()),
                     e);
        QVERIFY(!folder::hasSupportedExtension(QStringLiteral("x.svg")));
    }

    void unreadableFolderGivesTheOpenedFileAlone()
    {
        AppState state;
        const QUrl missing = QUrl::fromLocalFile(QStringLiteral("/nonexistent-pelu-dir/a.png"));
        state.loadDirectory(missing);
        QCOMPARE(state.imageFiles(), QList<QUrl>{missing});
        QCOMPARE(state.currentIndex(), 0);

        if (geteuid() == 0)
            QSKIP("root reads any folder");
        QTemporaryDir dir;
        touch(dir.filePath(QStringLiteral("a.png")));
        touch(dir.filePath(QStringLiteral("b.png")));
        QFile::setPermissions(dir.path(), QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QUrl opened = QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png")));
        state.loadDirectory(opened);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QCOMPARE(state.imageFiles(), QList<QUrl>{opened});
    }

    void emptyFolderAndUnlistedFile()
    {
        QTemporaryDir dir;
        touch(dir.filePath(QStringLiteral("a.txt")));
        AppState state;
        state.setCurrentIndex(3);
        state.loadDirectory(QUrl::fromLocalFile(dir.filePath(QStringLiteral("a.txt"))));
        QVERIFY(state.imageFiles().isEmpty());
        QCOMPARE(state.currentIndex(), 0);
    }

    void tenThousandFilesListQuickly()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 10000; ++i)
            touch(dir.filePath(QStringLiteral("frame %1.jpg").arg(9999 - i)));
        const auto listed =
            folder::listImages(QUrl::fromLocalFile(dir.filePath(QStringLiteral("frame 0.jpg"))));
        QVERIFY(listed);
        QCOMPARE(listed->size(), 10000);
        QCOMPARE(listed->first().fileName(), QStringLiteral("frame 0.jpg"));
        QCOMPARE(listed->at(10).fileName(), QStringLiteral("frame 10.jpg"));
        QCOMPARE(listed->last().fileName(), QStringLiteral("frame 9999.jpg"));
    }
};

QTEST_MAIN(TestFolderListing)
#include "tst_folderlisting.moc"
