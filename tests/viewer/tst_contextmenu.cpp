#include "ViewerFixture.h"
#include "viewer/ContextMenu.h"
#include "viewer/OpenWithMenu.h"

#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

namespace {

// The menu's checked items: "Fit to Window|Metadata".
QString checked(const QMenu* menu)
{
    QStringList shown;
    for (const QAction* action : menu->actions()) {
        if (action->isChecked())
            shown << action->text();
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

QAction* itemNamed(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
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

    // None without an image (dialogsOutliveTheirMenu opens the one with an image).
    void noContextMenuWithoutAnImage()
    {
        Fixture f;
        rightClick(f.viewer);
        QVERIFY(!QApplication::activePopupWidget());
    }

    // What the context menu opens outlives the menu, which is deleted once closed: the dialog's
    // answer still reaches the model. Under the sanitizers a use of the freed menu fails the test.
    void dialogsOutliveTheirMenu_data()
    {
        QTest::addColumn<QString>("item");
        QTest::newRow("other application") << "Other...";
        QTest::newRow("delete") << "Delete Image";
    }
    void dialogsOutliveTheirMenu()
    {
        QFETCH(QString, item);
        Fixture f;
        const QList<QUrl> urls = f.files(2);
        f.state.openFile(urls[0]);
        // An application that leaves a mark when started.
        const QString marker = f.dir.filePath("started");
        const QString application = f.dir.filePath("marker.desktop");
        QVERIFY(testsupport::writeFile(
            application, QString("[Desktop Entry]\nType=Application\nName=Marker\nExec=touch %1\n")
                             .arg(marker)
                             .toUtf8()));
        rightClick(f.viewer);
        QPointer<QMenu> menu = qobject_cast<ContextMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QTRY_VERIFY(menu->isVisible());
        if (item == "Other...") {
            // The submenu as it opens: "Other..." ends it.
            auto* openWith = menu->findChild<OpenWithMenu*>();
            openWith->popup(menu->geometry().topRight());
            QTRY_VERIFY(openWith->isVisible());
            menu = openWith;
        }
        // Answers the dialog whether or not choosing the item waits for it.
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            for (QWidget* top : QApplication::topLevelWidgets()) {
                auto* dialog = qobject_cast<QFileDialog*>(top);
                if (dialog && dialog->isVisible()) {
                    QCOMPARE(dialog->parentWidget(), &f.window);
                    // Typed into the name field, as a person may.
                    if (auto* name = dialog->findChild<QLineEdit*>("fileNameEdit"))
                        name->setText(application);
                    QMetaObject::invokeMethod(dialog, "accept");
                }
            }
            if (QMessageBox* box = shownBox(f.viewer, QStringLiteral("Delete Image")))
                buttonNamed(box, "Delete")->click();
        });
        answer.start(20);
        // Chosen with the mouse, as a person does: the menu closes, then the item runs, within
        // the one event.
        const QPoint at = menu->actionGeometry(itemNamed(menu, item)).center();
        QTest::mouseClick(menu, Qt::LeftButton, {}, at);
        if (item == "Other...")
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 20000);
        else
            QTRY_COMPARE(f.state.currentURL(), urls[1]);
        QTRY_VERIFY(menu.isNull());
    }

    // Metadata and Histogram take each other's place and the checked one goes off again; the
    // marks follow the model. (The size modes are the menu bar's, tried by its shortcuts.)
    void overlayAndStripItemsToggle()
    {
        AppState state;
        ContextMenu menu(state);
        state.setOverlayMode(OverlayMode::metadata);
        QCOMPARE(checked(&menu), "Fit to Window|Metadata");
        const QList<std::pair<const char*, const char*>> steps{
            {"Histogram", "Fit to Window|Histogram"},
            {"Metadata", "Fit to Window|Metadata"},
            {"Metadata", "Fit to Window"},
            {"Thumbnails", "Fit to Window|Thumbnails"}};
        for (const auto& [item, marks] : steps) {
            itemNamed(&menu, item)->trigger();
            QCOMPARE(checked(&menu), marks);
        }
        QCOMPARE(testsupport::settings().value("overlayMode").toString(), "none");
        QVERIFY(state.showThumbnailBar());
    }

    // The checked "Fit to Window" or "Actual Size" brings the view back to its size once the
    // wheel has left it, and does nothing at that size; the mode is not assigned again.
    void checkedSizeComesBack_data()
    {
        QTest::addColumn<DisplayMode>("mode");
        QTest::addColumn<double>("magnification");
        QTest::addColumn<QRectF>("visible");
        QTest::addColumn<int>("zoom"); // the ZoomAction requested; -1 none
        const QRectF whole(0, 0, 1, 1), part(0.2, 0.3, 0.5, 0.4);
        const auto fit = DisplayMode::fitToWindow, actual = DisplayMode::actualSize;
        QTest::newRow("fitted") << fit << 0.4 << whole << -1;
        QTest::newRow("zoomed in from fit") << fit << 0.9 << part << int(ZoomAction::fit);
        QTest::newRow("zoomed out from 100 %")
            << actual << 0.5 << whole << int(ZoomAction::actualSize);
        QTest::newRow("auto-size stays") << DisplayMode::autoSizeWindow << 2.0 << part << -1;
    }
    void checkedSizeComesBack()
    {
        QFETCH(DisplayMode, mode);
        QFETCH(double, magnification);
        QFETCH(QRectF, visible);
        QFETCH(int, zoom);
        AppState state;
        state.setDisplayMode(mode);
        state.setMagnification(magnification);
        state.setVisibleRect(visible);
        ContextMenu menu(state);
        const QString item = mode == DisplayMode::fitToWindow  ? "Fit to Window"
                             : mode == DisplayMode::actualSize ? "Actual Size"
                                                               : "Auto-Size Window";
        QSignalSpy modeChanges(&state, &AppState::displayModeChanged);
        itemNamed(&menu, item)->trigger();
        QCOMPARE(state.zoomAction(), zoom < 0 ? std::nullopt : std::optional(ZoomAction(zoom)));
        QCOMPARE(checked(&menu), item);
        QCOMPARE(modeChanges.count(), 0);
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
        // The Trash answers in the background.
        QTRY_COMPARE(f.state.currentURL().value_or(QUrl()).fileName(), shown);
        QCOMPARE(QFile::exists(urls[1].toLocalFile()), !trashed && !answer.startsWith("Remove"));
        QVERIFY(QFile::exists(urls[2].toLocalFile()));

        QMessageBox* error = nullptr;
        if (answer.startsWith("Remove"))
            QTRY_VERIFY((error = shownBox(f.viewer, QStringLiteral("Error"))));
        QTest::qWait(50);
        QCOMPARE(shownBox(f.viewer, QStringLiteral("Error")), error);
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
