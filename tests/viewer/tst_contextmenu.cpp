#include "state/AppState.h"
#include "viewer/ContextMenu.h"
#include "viewer/DeleteDialogs.h"
#include "viewer/ImageViewer.h"
#include "viewer/OpenWithMenu.h"

#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(std::optional<ZoomAction>)

namespace {

QList<QUrl> makeFolder(const QTemporaryDir& dir, int n)
{
    QList<QUrl> urls;
    for (int i = 1; i <= n; ++i) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(QColor::fromHsv(i * 30 % 360, 200, 200));
        const QString path = dir.filePath(QStringLiteral("pic%1.png").arg(i));
        image.save(path);
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}

// What a menu shows, a separator as "-".
QStringList texts(const QMenu* menu, bool checkedOnly = false)
{
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (!checkedOnly || action->isChecked())
            shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return shown;
}

QPushButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return qobject_cast<QPushButton*>(button);
    }
    return nullptr;
}

struct Fixture {
    AppState state;
    QMainWindow window;
    ImageViewer* viewer;
    QList<QUrl> urls;

    explicit Fixture(const QTemporaryDir& dir)
    {
        viewer = new ImageViewer(state);
        window.setCentralWidget(viewer);
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        urls = makeFolder(dir, 3);
    }

    void rightClick()
    {
        const QPoint at(100, 100);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, viewer->mapToGlobal(at));
        QApplication::sendEvent(viewer, &event);
    }

    void pressDelete()
    {
        QKeyEvent event(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
        QApplication::sendEvent(viewer, &event);
    }
};

} // namespace

class TestContextMenu : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

private Q_SLOTS:
    void initTestCase()
    {
        // Files moved to the Trash go to a Trash of this test's own.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.filePath("data")));
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                           m_home.filePath("config"));
    }
    void init() { QSettings(QStringLiteral("Pelu"), QStringLiteral("Pelu")).clear(); }

    void contextMenuOnlyWithAnImage()
    {
        QTemporaryDir dir;
        Fixture f(dir);
        f.rightClick();
        QVERIFY(!QApplication::activePopupWidget());

        f.state.openFile(f.urls[0]);
        f.rightClick();
        auto* menu = qobject_cast<ContextMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(texts(menu),
                 (QStringList{"Copy Image", "Reveal in File Manager", "Open With", "-",
                              "Fit to Window", "Actual Size", "Auto-Size Window", "-",
                              "Rotate Clockwise", "Rotate Counter-Clockwise", "-", "Metadata",
                              "Histogram", "Thumbnails", "-", "Delete Image"}));
        QCOMPARE(texts(menu, true), QStringList{"Fit to Window"});
        for (const QAction* action : menu->actions())
            QVERIFY(action->shortcut().isEmpty());
        auto* openWith = menu->findChild<OpenWithMenu*>();
        openWith->rebuild();
        QCOMPARE(texts(openWith).mid(texts(openWith).size() - 2), (QStringList{"-", "Other..."}));
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    // Each item receives the opposite of its mark; the marks then show the model again.
    void togglesFollowTheirRules_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QStringList>("checked");
        QTest::addColumn<std::optional<ZoomAction>>("zoom");
        QTest::newRow("other mode") << "Actual Size" << QStringList{"Actual Size", "Metadata"}
                                    << std::optional(ZoomAction::actualSize);
        QTest::newRow("auto-size")
            << "Auto-Size Window" << QStringList{"Auto-Size Window", "Metadata"}
            << std::optional(ZoomAction::fit);
        QTest::newRow("checked mode stays")
            << "Fit to Window" << QStringList{"Fit to Window", "Metadata"}
            << std::optional<ZoomAction>();
        QTest::newRow("other overlay") << "Histogram" << QStringList{"Fit to Window", "Histogram"}
                                       << std::optional<ZoomAction>();
        QTest::newRow("checked overlay off")
            << "Metadata" << QStringList{"Fit to Window"} << std::optional<ZoomAction>();
        QTest::newRow("thumbnails")
            << "Thumbnails" << QStringList{"Fit to Window", "Metadata", "Thumbnails"}
            << std::optional<ZoomAction>();
    }
    void togglesFollowTheirRules()
    {
        QFETCH(QString, item);
        QFETCH(QStringList, checked);
        QFETCH(std::optional<ZoomAction>, zoom);
        AppState state;
        state.setOverlayMode(OverlayMode::metadata);
        ContextMenu menu(state);
        for (QAction* action : menu.actions()) {
            if (action->text() == item)
                action->trigger();
        }
        QCOMPARE(texts(&menu, true), checked);
        QCOMPARE(state.zoomAction(), zoom);
        QCOMPARE(state.showThumbnailBar(), checked.contains("Thumbnails"));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("trashed");
        QTest::newRow("delete") << true << "Delete" << true;
        QTest::newRow("return") << true << "Return" << true;
        QTest::newRow("cancel") << true << "Cancel" << false;
        QTest::newRow("escape") << true << "Escape" << false;
        QTest::newRow("another file opened meanwhile") << true << "Open, Delete" << false;
        QTest::newRow("no image") << false << "Delete" << false;
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, withImage);
        QFETCH(QString, answer);
        QFETCH(bool, trashed);
        QTemporaryDir dir;
        Fixture f(dir);
        if (withImage)
            f.state.openFile(f.urls[1]);
        f.pressDelete();
        QMessageBox* box = f.viewer->deleteDialogs()->confirmation();
        QVERIFY(box && box->isVisible() && f.state.showDeleteConfirmation());
        QCOMPARE(box->windowTitle(), QStringLiteral("Delete Image"));
        QCOMPARE(box->text(), withImage ? QStringLiteral("Move \"pic2.png\" to the Trash?") : "");
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->defaultButton(), buttonNamed(box, "Delete"));
        if (answer == "Return" || answer == "Escape")
            QTest::keyClick(box, answer == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        else {
            if (answer.startsWith("Open"))
                f.state.openFile(f.urls[2]);
            buttonNamed(box, answer.section(", ", -1))->click();
        }
        QTRY_VERIFY(!f.viewer->deleteDialogs()->confirmation());
        QVERIFY(!f.state.showDeleteConfirmation());
        QCOMPARE(QFile::exists(f.urls[1].toLocalFile()), !trashed);
        QCOMPARE(QFile::exists(f.urls[2].toLocalFile()), true);
        if (trashed)
            QCOMPARE(f.state.currentURL(), f.urls[2]);
    }

    void failedDeleteShowsTheErrorOnce()
    {
        QTemporaryDir dir;
        Fixture f(dir);
        f.state.openFile(f.urls[0]);
        QVERIFY(QFile::remove(f.urls[0].toLocalFile()));
        f.state.setShowDeleteConfirmation(true);
        buttonNamed(f.viewer->deleteDialogs()->confirmation(), "Delete")->click();
        QMessageBox* error = f.viewer->deleteDialogs()->error();
        QVERIFY(error && error->isVisible());
        QCOMPARE(error->windowTitle(), QStringLiteral("Error"));
        QCOMPARE(error->text(), f.state.deleteError().value());
        buttonNamed(error, "OK")->click();
        QTRY_VERIFY(!f.viewer->deleteDialogs()->error());
        QCOMPARE(f.state.deleteError(), std::nullopt);
        QCOMPARE(f.state.currentURL(), f.urls[0]);
    }
};

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
