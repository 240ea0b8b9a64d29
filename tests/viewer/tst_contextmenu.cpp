#include "ViewerFixture.h"
#include "viewer/ContextMenu.h"
#include "viewer/DeleteDialogs.h"
#include "viewer/OpenWithMenu.h"

#include <QContextMenuEvent>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What a menu shows, a separator as "-": "Copy Image|-|Fit to Window".
QString texts(const QMenu* menu, bool checkedOnly = false)
{
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (!checkedOnly || action->isChecked())
            shown << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return shown.join('|');
}

QPushButton* buttonNamed(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* button : box->buttons()) {
        if (button->text() == text)
            return qobject_cast<QPushButton*>(button);
    }
    return nullptr;
}

void rightClick(QWidget* widget)
{
    const QPoint at(100, 100);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &event);
}

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
        Fixture f;
        const QList<QUrl> urls = makeFolder(dir, 3);
        rightClick(f.viewer);
        QVERIFY(!QApplication::activePopupWidget());

        f.state.openFile(urls[0]);
        rightClick(f.viewer);
        auto* menu = qobject_cast<ContextMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QCOMPARE(texts(menu), "Copy Image|Reveal in File Manager|Open With|-|Fit to Window|"
                              "Actual Size|Auto-Size Window|-|Rotate Clockwise|"
                              "Rotate Counter-Clockwise|-|Metadata|Histogram|Thumbnails|-|"
                              "Delete Image");
        QCOMPARE(texts(menu, true), "Fit to Window");
        auto* openWith = menu->findChild<OpenWithMenu*>();
        openWith->rebuild();
        QVERIFY(texts(openWith).endsWith("-|Other..."));
        menu->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }

    // Each item receives the opposite of its mark; the marks then show the model again.
    void togglesFollowTheirRules_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("zoom"); // the ZoomAction requested; -1 none
        const int none = -1, fit = int(ZoomAction::fit), actual = int(ZoomAction::actualSize);
        QTest::newRow("other mode") << "Actual Size"
                                    << "Actual Size|Metadata" << actual;
        QTest::newRow("auto-size") << "Auto-Size Window"
                                   << "Auto-Size Window|Metadata" << fit;
        QTest::newRow("checked mode stays") << "Fit to Window"
                                            << "Fit to Window|Metadata" << none;
        QTest::newRow("other overlay") << "Histogram"
                                       << "Fit to Window|Histogram" << none;
        QTest::newRow("checked overlay off") << "Metadata"
                                             << "Fit to Window" << none;
        QTest::newRow("thumbnails") << "Thumbnails"
                                    << "Fit to Window|Metadata|Thumbnails" << none;
    }
    void togglesFollowTheirRules()
    {
        QFETCH(QString, item);
        QFETCH(QString, checked);
        QFETCH(int, zoom);
        AppState state;
        state.setOverlayMode(OverlayMode::metadata);
        ContextMenu menu(state);
        for (QAction* action : menu.actions()) {
            if (action->text() == item)
                action->trigger();
        }
        QCOMPARE(texts(&menu, true), checked);
        QCOMPARE(state.zoomAction(), zoom < 0 ? std::nullopt : std::optional(ZoomAction(zoom)));
        QCOMPARE(state.showThumbnailBar(), checked.contains("Thumbnails"));
    }

    // The confirmation names the file and only "Delete" (or Return) moves it; a failure shows
    // the system's words once.
    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("withImage");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("trashed");
        QTest::addColumn<QString>("shown"); // after the answer
        QTest::newRow("delete") << true << "Delete" << true << "pic3.png";
        QTest::newRow("return") << true << "Return" << true << "pic3.png";
        QTest::newRow("cancel") << true << "Cancel" << false << "pic2.png";
        QTest::newRow("escape") << true << "Escape" << false << "pic2.png";
        QTest::newRow("another file opened meanwhile")
            << true << "Open, Delete" << false << "pic3.png";
        QTest::newRow("file already gone") << true << "Remove, Delete" << false << "pic2.png";
        QTest::newRow("no image") << false << "Delete" << false << "";
    }
    void deleteAsksFirst()
    {
        QFETCH(bool, withImage);
        QFETCH(QString, answer);
        QFETCH(bool, trashed);
        QFETCH(QString, shown);
        QTemporaryDir dir;
        Fixture f;
        const QList<QUrl> urls = makeFolder(dir, 3);
        if (withImage)
            f.state.openFile(urls[1]);
        f.press(Qt::Key_Delete);
        QMessageBox* box = f.viewer->deleteDialogs()->confirmation();
        QVERIFY(box && box->isVisible() && f.state.showDeleteConfirmation());
        QCOMPARE(box->windowTitle(), QStringLiteral("Delete Image"));
        QCOMPARE(box->text(), withImage ? QStringLiteral("Move \"pic2.png\" to the Trash?") : "");
        QCOMPARE(box->windowModality(), Qt::WindowModal);
        QCOMPARE(box->defaultButton(), buttonNamed(box, "Delete"));
        if (answer.startsWith("Open"))
            f.state.openFile(urls[2]);
        if (answer.startsWith("Remove"))
            QFile::remove(urls[1].toLocalFile());
        if (answer == "Return" || answer == "Escape")
            QTest::keyClick(box, answer == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        else
            buttonNamed(box, answer.section(", ", -1))->click();
        QTRY_VERIFY(!f.viewer->deleteDialogs()->confirmation());
        QVERIFY(!f.state.showDeleteConfirmation());
        QCOMPARE(QFile::exists(urls[1].toLocalFile()), !trashed && !answer.startsWith("Remove"));
        QVERIFY(QFile::exists(urls[2].toLocalFile()));
        QCOMPARE(f.state.currentURL().value_or(QUrl()).fileName(), shown);

        QMessageBox* error = f.viewer->deleteDialogs()->error();
        QCOMPARE(error != nullptr, answer.startsWith("Remove"));
        if (error) {
            QCOMPARE(error->windowTitle(), QStringLiteral("Error"));
            QCOMPARE(error->text(), f.state.deleteError().value());
            buttonNamed(error, "OK")->click();
            QTRY_VERIFY(!f.viewer->deleteDialogs()->error());
            QCOMPARE(f.state.deleteError(), std::nullopt);
        }
    }
};

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
