#include "AppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/PeluApp.h"
#include "state/AppState.h"
#include "viewer/ImageViewer.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QMainWindow>
#include <QTimer>

using apptest::findAction;

namespace {

// What a shortcut may change, put in words so that a table row can say what it expects.
QString describe(const AppState& state, const QList<ZoomAction>& requests)
{
    QStringList zooms;
    for (ZoomAction request : requests)
        zooms.append(QString::number(int(request)));
    return QStringLiteral("mode=%1 overlay=%2 thumbs=%3 delete=%4 index=%5 zoom=%6")
        .arg(rawValue(state.displayMode()), rawValue(state.overlayMode()))
        .arg(state.showThumbnailBar())
        .arg(state.showDeleteConfirmation())
        .arg(state.currentIndex())
        .arg(zooms.join(QLatin1Char(',')));
}

} // namespace

class TestMenuBar : public QObject {
    Q_OBJECT

    QTemporaryDir m_config;
    QTemporaryDir m_folder;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<PeluApp> m_pelu;
    QList<ZoomAction> m_zoomRequests;

    AppState& state() { return m_delegate->appState(); }
    QMenuBar* bar() { return m_pelu->window()->menuBar(); }

private Q_SLOTS:
    void initTestCase()
    {
        apptest::useSettingsIn(m_config);
        for (const char* name : {"a.png", "b.png", "c.png"})
            apptest::makeImage(m_folder.path(), QLatin1String(name));
    }

    void init()
    {
        apptest::settings().clear();
        m_delegate = std::make_unique<AppDelegate>();
        m_pelu = std::make_unique<PeluApp>(*m_delegate);
        m_zoomRequests.clear();
        connect(&state(), &AppState::zoomActionChanged, this, [this] {
            if (state().zoomAction())
                m_zoomRequests.append(*state().zoomAction());
        });
        m_pelu->window()->show();
        QVERIFY(QTest::qWaitForWindowActive(m_pelu->window()));
    }

    void cleanup()
    {
        m_pelu.reset();
        m_delegate.reset();
    }

    void everyItemIsEnabledWithoutAnImage()
    {
        QVERIFY(!state().currentImage());
        const QList<QAction*> actions = apptest::allActions(bar());
        QVERIFY(actions.size() > 10);
        for (const QAction* action : actions)
            QVERIFY2(action->isEnabled(), qPrintable(action->text()));
    }

    void shortcuts_data()
    {
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<bool>("focusOnViewer");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, QKeyCombination key, bool onViewer,
                            const char* expected) {
            QTest::newRow(name) << key << onViewer << QString::fromLatin1(expected);
        };
        const QString base = QStringLiteral("mode=fitToWindow overlay=none thumbs=false "
                                            "delete=false index=1 zoom=");
        QTest::newRow("nothing pressed") << QKeyCombination() << true << base;
        row("Ctrl+0", Qt::CTRL | Qt::Key_0, true,
            "mode=actualSize overlay=none thumbs=false delete=false index=1 zoom=1");
        row("Ctrl+2 off the viewer", Qt::CTRL | Qt::Key_2, false,
            "mode=autoSizeWindow overlay=none thumbs=false delete=false index=1 zoom=0");
        row("Ctrl+T", Qt::CTRL | Qt::Key_T, true,
            "mode=fitToWindow overlay=none thumbs=true delete=false index=1 zoom=");
        row("Ctrl+=", Qt::CTRL | Qt::Key_Equal, true,
            "mode=fitToWindow overlay=none thumbs=false delete=false index=1 zoom=2");
        row("Ctrl++", Qt::CTRL | Qt::Key_Plus, false,
            "mode=fitToWindow overlay=none thumbs=false delete=false index=1 zoom=2");
        row("Ctrl+-", Qt::CTRL | Qt::Key_Minus, true,
            "mode=fitToWindow overlay=none thumbs=false delete=false index=1 zoom=3");
        // Asks for the Trash and never also steps back.
        row("Ctrl+Backspace", Qt::CTRL | Qt::Key_Backspace, true,
            "mode=fitToWindow overlay=none thumbs=false delete=true index=1 zoom=");
        row("Delete off the viewer", QKeyCombination(Qt::Key_Delete), false,
            "mode=fitToWindow overlay=none thumbs=false delete=true index=1 zoom=");
        row("plain Backspace steps back", QKeyCombination(Qt::Key_Backspace), true,
            "mode=fitToWindow overlay=none thumbs=false delete=false index=0 zoom=");
    }

    void shortcuts()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(bool, focusOnViewer);
        QFETCH(QString, expected);
        m_delegate->openFiles({QStringLiteral("b.png")}, m_folder.path());
        QCOMPARE(state().currentIndex(), 1);
        m_zoomRequests.clear();
        QWidget* target = m_pelu->viewer();
        if (focusOnViewer) {
            target->setFocus();
        } else {
            target->clearFocus();
            target = m_pelu->window();
        }
        if (key != QKeyCombination())
            QTest::keyClick(target, key.key(), key.keyboardModifiers());
        QCOMPARE(describe(state(), m_zoomRequests), expected);
    }

    void fullScreenHidesTheMenuBarButNotItsShortcuts()
    {
        QMainWindow* window = m_pelu->window();
        QTest::keyClick(window, Qt::Key_F11);
        QTRY_VERIFY(window->isFullScreen());
        QVERIFY(!bar()->isVisible());
        QTest::keyClick(m_pelu->viewer(), Qt::Key_T, Qt::ControlModifier);
        QVERIFY(state().showThumbnailBar());
        QTest::keyClick(window, Qt::Key_F11);
        QTRY_VERIFY(!window->isFullScreen());
        QVERIFY(bar()->isVisible());
    }

    void openPanelOpensOneImage()
    {
        const QString chosen = m_folder.filePath(QStringLiteral("c.png"));
        QStringList filters;
        QTimer::singleShot(0, this, [&] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(panel);
            QCOMPARE(panel->fileMode(), QFileDialog::ExistingFile);
            filters = panel->nameFilters();
            panel->selectFile(chosen);
            static_cast<QDialog*>(panel)->accept();
        });
        findAction(bar(), QStringLiteral("File"), QStringLiteral("Open..."))->trigger();
        QCOMPARE(state().currentURL(), QUrl::fromLocalFile(chosen));
        QCOMPARE(state().imageFiles().size(), 3);
        QCOMPARE(filters.size(), 1);
        for (const QString& extension : AppState::supportedExtensions())
            QVERIFY(filters.first().contains(QStringLiteral("*.%1 ").arg(extension)) ||
                    filters.first().contains(QStringLiteral("*.%1)").arg(extension)));

        // Cancelled: nothing changes.
        QTimer::singleShot(0, this, [] { QApplication::activeModalWidget()->close(); });
        findAction(bar(), QStringLiteral("File"), QStringLiteral("Open..."))->trigger();
        QCOMPARE(state().currentURL(), QUrl::fromLocalFile(chosen));
    }

    // Extensions are compared in lower case, so the panel must not hide PHOTO.JPG.
    void openPanelShowsImagesOfAnyCase()
    {
        QTemporaryDir dir;
        apptest::makeImage(dir.path(), QStringLiteral("PHOTO.JPG"));
        apptest::makeImage(dir.path(), QStringLiteral("scan.Tiff"));
        QFile(dir.filePath(QStringLiteral("notes.txt"))).open(QIODevice::WriteOnly);
        std::unique_ptr<QFileDialog> panel(PeluApp::makeOpenPanel(nullptr));
        panel->setOption(QFileDialog::DontUseNativeDialog);
        panel->setDirectory(dir.path());
        auto* model = panel->findChild<QFileSystemModel*>();
        QVERIFY(model);
        const QModelIndex folder = model->index(dir.path());
        const auto shown = [&] {
            model->fetchMore(folder);
            QStringList names;
            for (int row = 0; row < model->rowCount(folder); ++row)
                names.append(model->index(row, 0, folder).data().toString());
            names.sort();
            return names;
        };
        QTRY_VERIFY_WITH_TIMEOUT(shown().size() >= 2, 5000);
        QTest::qWait(100);
        QCOMPARE(shown(), (QStringList{QStringLiteral("PHOTO.JPG"), QStringLiteral("scan.Tiff")}));
    }
};

QTEST_MAIN(TestMenuBar)
#include "tst_menubar.moc"
