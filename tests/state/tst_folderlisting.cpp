#include "../support/TestSupport.h"
#include "state/AppState.h"
#include "state/FolderListing.h"

#include <QMimeDatabase>
#include <QRegularExpression>
#include <QTest>
#include <unistd.h>

namespace {

// Empty files, and folders for names ending in "/".
void touch(const QTemporaryDir& dir, const QStringList& names)
{
    for (const QString& name : names) {
        QVERIFY(QDir().mkpath(QFileInfo(dir.filePath(name)).path()));
        QVERIFY(name.endsWith('/') || testsupport::writeFile(dir.filePath(name), {}));
    }
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

    testsupport::OwnSettings m_settings;

private Q_SLOTS:
    // Natural order ignoring case; only visible files of the supported types (and folders named
    // like them), though an opened hidden file is still shown, at position 0.
    void listing_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<int>("index");
        QTest::newRow("natural order")
            << QStringList{"img10.png", "img2.png", "Img1.png"} << "img2.png"
            << QStringList{"Img1.png", "img2.png", "img10.png"} << 1;
        QTest::newRow("supported and visible")
            << QStringList{"IMG_0001.JPG", "notes.txt", "README",    ".cover.jpg", "photo.HeIc",
                           "raw.NEF",      "jpg",       "trailing.", "album.jpg/", "sub/inner.png"}
            << ".cover.jpg" << QStringList{"album.jpg", "IMG_0001.JPG", "photo.HeIc", "raw.NEF"}
            << 0;
        QTest::newRow("no images") << QStringList{"a.txt"} << "a.txt" << QStringList{} << 0;
    }
    void listing()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, opened);
        QFETCH(QStringList, listed);
        QFETCH(int, index);
        QTemporaryDir dir;
        touch(dir, files);
        AppState state;
        state.setCurrentIndex(3);
        state.loadDirectory(QUrl::fromLocalFile(dir.filePath(opened)));
        QCOMPARE(names(state.imageFiles()), listed);
        QCOMPARE(state.currentIndex(), index);
    }

    // Each in any case; and the desktop entry claims its type, so the desktop offers Pelu for it.
    void supportedExtensions_data()
    {
        QTest::addColumn<QString>("extension");
        for (const char* e :
             {"jpg", "jpeg", "png", "gif", "bmp", "tiff", "tif", "heic", "heif", "webp", "avif",
              "ico", "psd", "cr2", "nef", "arw", "dng", "orf", "rw2"})
            QTest::newRow(e) << QString::fromLatin1(e);
    }
    void supportedExtensions()
    {
        QFETCH(QString, extension);
        QCOMPARE(AppState::supportedExtensions().size(), 19);
        QVERIFY(AppState::supportedExtensions().contains(extension));
        QVERIFY(folder::hasSupportedExtension(QStringLiteral("x.") + extension.toUpper()));
        QVERIFY(!folder::hasSupportedExtension(QStringLiteral("x.svg")));

        static const QRegularExpression mimeLine(QStringLiteral("^MimeType=(.*)$"),
                                                 QRegularExpression::MultilineOption);
        const QString entry = QString::fromUtf8(
            testsupport::readFile(QStringLiteral(PELU_SOURCE_DIR "/packaging/pelu.desktop")));
        const QStringList claimed = mimeLine.match(entry).captured(1).split(QLatin1Char(';'));
        const QMimeType type = QMimeDatabase().mimeTypeForFile(QStringLiteral("x.") + extension,
                                                               QMimeDatabase::MatchExtension);
        QVERIFY(!type.isDefault());
        QVERIFY2(claimed.contains(type.name()) ||
                     std::any_of(type.aliases().cbegin(), type.aliases().cend(),
                                 [&](const QString& name) { return claimed.contains(name); }),
                 qPrintable(type.name()));
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
        touch(dir, {QStringLiteral("a.png"), QStringLiteral("b.png")});
        QFile::setPermissions(dir.path(), QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QUrl opened = QUrl::fromLocalFile(dir.filePath(QStringLiteral("b.png")));
        state.loadDirectory(opened);
        QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner);
        QCOMPARE(state.imageFiles(), QList<QUrl>{opened});
    }

    void tenThousandFilesListInNaturalOrder()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 10000; ++i)
            touch(dir, {QStringLiteral("frame %1.jpg").arg(9999 - i)});
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
