#include "ViewerFixture.h"
#include "viewer/ContextMenu.h"
#include "viewer/OpenWithMenu.h"

#include <QContextMenuEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>

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

// The alert of this title the viewer shows now, if any.
QMessageBox* shownBox(const QWidget* viewer, const QString& title)
{
    for (QMessageBox* box : viewer->findChildren<QMessageBox*>()) {
        if (box->isVisible() && box->windowTitle() == title)
            return box;
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
    void init() { testsupport::settings().clear(); }

    void contextMenuOnlyWithAnImage()
    {
        Fixture f;
        const QList<QUrl> urls = f.files(3);
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

    // Each toggle (shared with the menu bar) receives the opposite of its mark, the marks follow
    // the model; a choice that changes nothing requests, signals and stores nothing.
    void togglesFollowTheirRules_data()
    {
        QTest::addColumn<OverlayMode>("overlay"); // set once the menu exists
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("checked");
        QTest::addColumn<int>("zoom"); // the ZoomAction requested; -1 none
        QTest::addColumn<QString>("stored");
        const auto row = [](const char* name, OverlayMode overlay, const char* item,
                            const char* checked, int zoom, const char* stored) {
            QTest::newRow(name) << overlay << QString(item) << QString(checked) << zoom
                                << QString(stored);
        };
        const int none = -1, fit = int(ZoomAction::fit), actual = int(ZoomAction::actualSize);
        const auto off = OverlayMode::none, meta = OverlayMode::metadata,
                   histogram = OverlayMode::histogram;
        row("other mode", meta, "Actual Size", "Actual Size|Metadata", actual,
            "displayMode=actualSize");
        row("auto-size", off, "Auto-Size Window", "Auto-Size Window", fit,
            "displayMode=autoSizeWindow");
        row("checked mode stays", meta, "Fit to Window", "Fit to Window|Metadata", none,
            "displayMode=");
        row("metadata on", off, "Metadata", "Fit to Window|Metadata", none, "overlayMode=metadata");
        row("histogram replaces metadata", meta, "Histogram", "Fit to Window|Histogram", none,
            "overlayMode=histogram");
        row("metadata replaces histogram", histogram, "Metadata", "Fit to Window|Metadata", none,
            "overlayMode=metadata");
        row("checked metadata off", meta, "Metadata", "Fit to Window", none, "overlayMode=none");
        row("checked histogram off", histogram, "Histogram", "Fit to Window", none,
            "overlayMode=none");
        row("thumbnails", meta, "Thumbnails", "Fit to Window|Metadata|Thumbnails", none,
            "showThumbnailBar=true");
    }
    void togglesFollowTheirRules()
    {
        QFETCH(OverlayMode, overlay);
        QFETCH(QString, item);
        QFETCH(QString, checked);
        QFETCH(int, zoom);
        QFETCH(QString, stored);
        AppState state;
        ContextMenu menu(state);
        state.setOverlayMode(overlay);
        QSignalSpy modeChanges(&state, &AppState::displayModeChanged);
        for (QAction* action : menu.actions()) {
            if (action->text() == item)
                action->trigger();
        }
        QCOMPARE(texts(&menu, true), checked);
        QCOMPARE(state.zoomAction(), zoom < 0 ? std::nullopt : std::optional(ZoomAction(zoom)));
        QCOMPARE(modeChanges.count(), zoom < 0 ? 0 : 1);
        QCOMPARE(testsupport::settings().value(stored.section('=', 0, 0)).toString(),
                 stored.section('=', 1));
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
        Fixture f;
        const QList<QUrl> urls = f.files(3);
        if (withImage)
            f.state.openFile(urls[1]);
        f.press(Qt::Key_Delete);
        QMessageBox* box = shownBox(f.viewer, QStringLiteral("Delete Image"));
        QVERIFY(box && f.state.showDeleteConfirmation());
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
        QTRY_VERIFY(!shownBox(f.viewer, QStringLiteral("Delete Image")));
        QVERIFY(!f.state.showDeleteConfirmation());
        QCOMPARE(QFile::exists(urls[1].toLocalFile()), !trashed && !answer.startsWith("Remove"));
        QVERIFY(QFile::exists(urls[2].toLocalFile()));
        QCOMPARE(f.state.currentURL().value_or(QUrl()).fileName(), shown);

        QMessageBox* error = shownBox(f.viewer, QStringLiteral("Error"));
        QCOMPARE(error != nullptr, answer.startsWith("Remove"));
        if (error) {
            QCOMPARE(error->text(), f.state.deleteError().value());
            buttonNamed(error, "OK")->click();
            QTRY_VERIFY(!shownBox(f.viewer, QStringLiteral("Error")));
            QCOMPARE(f.state.deleteError(), std::nullopt);
        }
    }
};

QTEST_MAIN(TestContextMenu)
#include "tst_contextmenu.moc"
