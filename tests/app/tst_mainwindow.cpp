#include "AppTestSupport.h"
#include "app/AppDelegate.h"
#include "app/PeluApp.h"
#include "app/WindowFrame.h"
#include "state/AppState.h"
#include "state/FolderListing.h"
#include "viewer/ImageViewer.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QMainWindow>
#include <QMimeData>
#include <QRegularExpression>
#include <QTimer>

namespace {

// What a shortcut may change, one "name=value" each, so that a table row names only the
// changes it expects.
QStringList describe(const AppState& state, const QList<ZoomAction>& requests)
{
    const auto size = [](const QImage& image) {
        return QStringLiteral("%1x%2").arg(image.width()).arg(image.height());
    };
    const QMimeData* clip = QGuiApplication::clipboard()->mimeData();
    QStringList zooms;
    for (ZoomAction request : requests)
        zooms.append(QString::number(int(request)));
    return {QStringLiteral("mode=") + rawValue(state.displayMode()),
            QStringLiteral("thumbs=") + QVariant(state.showThumbnailBar()).toString(),
            QStringLiteral("delete=") + QVariant(state.showDeleteConfirmation()).toString(),
            QStringLiteral("index=%1").arg(state.currentIndex()),
            QStringLiteral("size=") + size(state.currentImage().value_or(QImage())),
            QStringLiteral("clip=") +
                size(clip ? QImage::fromData(clip->data("image/png")) : QImage()),
            QStringLiteral("zoom=") + zooms.join(QLatin1Char(','))};
}

QString changes(const QStringList& before, const QStringList& after)
{
    QStringList changed;
    for (qsizetype i = 0; i < after.size(); ++i) {
        if (after[i] != before[i])
            changed.append(after[i]);
    }
    return changed.join(QLatin1Char(' '));
}

} // namespace

// The main window: its menu bar, its shortcuts and its frame.
class TestMainWindow : public QObject {
    Q_OBJECT

    testsupport::OwnSettings m_settings;
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<AppDelegate> m_delegate;
    std::unique_ptr<PeluApp> m_pelu;
    QList<ZoomAction> m_zoomRequests;

    AppState& state() { return m_delegate->appState(); }
    QMenuBar* bar() { return m_pelu->window()->menuBar(); }

private Q_SLOTS:
    void init()
    {
        apptest::settings().clear();
        QGuiApplication::clipboard()->clear();
        m_folder = std::make_unique<QTemporaryDir>();
        for (const char* name : {"a.png", "b.png", "c.png"})
            apptest::makeImage(m_folder->path(), QLatin1String(name));
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

    // Left where it lies, even across two screens; else moved the least onto the screen it
    // mostly covers or, off every screen (one since unplugged), the nearest; never larger than it.
    void placeOnScreens()
    {
        const QRect left(0, 0, 1920, 1080);
        const QList<QRect> two{left, QRect(1920, 0, 1280, 1024)};
        const auto placed = [&two](QRect frame) { return app::placeOnScreens(frame, two); };
        QCOMPARE(placed({1700, 100, 400, 300}), QRect(1700, 100, 400, 300));
        QCOMPARE(placed({100, 900, 400, 300}), QRect(100, 780, 400, 300));
        QCOMPARE(placed({2000, 900, 400, 300}), QRect(2000, 724, 400, 300));
        QCOMPARE(placed({3400, 200, 400, 300}), QRect(2800, 200, 400, 300));
        QCOMPARE(placed({500, -900, 400, 300}), QRect(500, 0, 400, 300));
        QCOMPARE(app::placeOnScreens({-50, -50, 2500, 1400}, {left}), left);
    }

    // What is kept at close: the window's frame where the window system reports positions;
    // where it does not (Wayland, which reports 0,0), the position kept before with the new
    // size, or no position at all.
    void frameToKeep()
    {
        const QRect fromX11(300, 200, 640, 480), moved(60, 70, 700, 500);
        const QRect onWayland(0, 0, 700, 500);
        QCOMPARE(app::frameToKeep(fromX11, moved, true), moved);
        QCOMPARE(app::frameToKeep(QRect(), moved, true), moved);
        QCOMPARE(app::frameToKeep(fromX11, onWayland, false), QRect(300, 200, 700, 500));
        QCOMPARE(app::frameToKeep(QRect(), onWayland, false), QRect());
        QCOMPARE(app::frameToKeep(fromX11, QRect(), false), QRect());
    }

    // A size kept without a position (a first run on Wayland) sizes the next window; the
    // window's size in pixels is kept at close for the next start's first decode.
    void windowSizeIsKeptForTheNextStart()
    {
        apptest::settings().clear();
        QCOMPARE(app::windowPixelsAtStart(), app::kDefaultContentSize);
        QWidget window;
        QVERIFY(!app::restoreWindowFrame(&window));
        apptest::settings().setValue(QStringLiteral("Window/size"), QSize(700, 500));
        QVERIFY(app::restoreWindowFrame(&window));
        QCOMPARE(window.size(), QSize(700, 500));
        QCOMPARE(app::windowPixelsAtStart(), QSize());
        window.resize(640, 480);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        app::saveWindowFrame(&window);
        QCOMPARE(app::windowPixelsAtStart(), QSize(640, 480) * window.devicePixelRatioF());
    }

    // The first launch shows the default content size, every item enabled without an image.
    void everyItemIsEnabledWithoutAnImage()
    {
        QCOMPARE(m_pelu->viewer()->size(), QSize(400, 300));
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
        QTest::addColumn<QString>("changes");
        const auto row = [](const char* name, QKeyCombination key, bool onViewer,
                            const char* expected) {
            QTest::newRow(name) << key << onViewer << QString::fromLatin1(expected);
        };
        row("Ctrl+0", Qt::CTRL | Qt::Key_0, true, "mode=actualSize zoom=1");
        row("Ctrl+2 off the viewer", Qt::CTRL | Qt::Key_2, false, "mode=autoSizeWindow zoom=0");
        row("Ctrl+1 on the checked mode", Qt::CTRL | Qt::Key_1, true, "");
        row("Ctrl+T", Qt::CTRL | Qt::Key_T, true, "thumbs=true");
        row("Ctrl+=", Qt::CTRL | Qt::Key_Equal, true, "zoom=2");
        row("Ctrl++", Qt::CTRL | Qt::Key_Plus, false, "zoom=2");
        row("Ctrl+-", Qt::CTRL | Qt::Key_Minus, true, "zoom=3");
        row("Ctrl+R", Qt::CTRL | Qt::Key_R, true, "size=16x24");
        row("Ctrl+Shift+R off the viewer", Qt::CTRL | Qt::SHIFT | Qt::Key_R, false, "size=16x24");
        row("Ctrl+Shift+C", Qt::CTRL | Qt::SHIFT | Qt::Key_C, true, "clip=24x16");
        // Asks for the Trash and never also steps back.
        row("Ctrl+Backspace", Qt::CTRL | Qt::Key_Backspace, true, "delete=true");
        row("Delete off the viewer", QKeyCombination(Qt::Key_Delete), false, "delete=true");
        row("plain Backspace steps back", QKeyCombination(Qt::Key_Backspace), true, "index=0");
    }

    void shortcuts()
    {
        QFETCH(QKeyCombination, key);
        QFETCH(bool, focusOnViewer);
        QFETCH(QString, changes);
        m_delegate->openFiles({QStringLiteral("b.png")}, m_folder->path());
        QCOMPARE(state().currentIndex(), 1);
        // The fit the new image asked for is done before the key comes.
        QTRY_VERIFY(!state().zoomAction());
        m_zoomRequests.clear();
        const QStringList before = describe(state(), m_zoomRequests);
        QWidget* target = m_pelu->viewer();
        if (focusOnViewer) {
            target->setFocus();
        } else {
            target->clearFocus();
            target = m_pelu->window();
        }
        QTest::keyClick(target, key.key(), key.keyboardModifiers());
        // A rotation reaches the file in the background.
        QTRY_VERIFY(!state().isRewriting());
        // A copied picture is encoded in the background.
        QTRY_COMPARE(::changes(before, describe(state(), m_zoomRequests)), changes);
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
        QAction* open = nullptr;
        for (QAction* action : apptest::allActions(bar()))
            open = action->text() == QLatin1String("Open...") ? action : open;
        QVERIFY(open);
        const QString chosen = m_folder->filePath(QStringLiteral("c.png"));
        QStringList filters;
        QTimer::singleShot(0, this, [&] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(panel);
            QCOMPARE(panel->fileMode(), QFileDialog::ExistingFile);
            filters = panel->nameFilters();
            panel->selectFile(chosen);
            static_cast<QDialog*>(panel)->accept();
        });
        open->trigger();
        QCOMPARE(state().currentURL(), QUrl::fromLocalFile(chosen));
        QCOMPARE(state().imageFiles().size(), 3);
        QCOMPARE(filters.size(), 1);
        for (const QString& extension : folder::supportedExtensions())
            QVERIFY(filters.first().contains(QRegularExpression("\\*\\." + extension + "[ )]")));

        // Opened again beside the shown image, then cancelled: nothing changes.
        QString folder;
        QTimer::singleShot(0, this, [&folder] {
            auto* panel = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            folder = panel->directory().path();
            panel->close();
        });
        open->trigger();
        QCOMPARE(state().currentURL(), QUrl::fromLocalFile(chosen));
        QCOMPARE(QDir(folder).canonicalPath(), QDir(m_folder->path()).canonicalPath());
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
